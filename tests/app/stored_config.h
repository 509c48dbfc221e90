#pragma once
// The config file as the next start would read it.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "app/controls.h"
#include "app/shell_state.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "persistence/user_presets.h"
#include "tests/persistence/fresh_process.h"

inline AppConfig StoredConfig() {
    AppConfig stored = DefaultAppConfig();
    EXPECT_TRUE(ReadConfigText(ReadFile(ConfigPath()), stored)) << "the saved config reads without repair";
    return stored;
}

// A start as the program makes it: the engine, then the config into it and the mirrors.
inline void StartFromStoredConfig(ShellState& values) {
    InitEngine();
    LoadConfig();
    ApplyConfigToEngine(appConfig, values);
}

// A personal preset with the given values, the others as a new record has them.
inline UserPreset MakePreset(std::string name, std::initializer_list<std::pair<Param, float>> values) {
    UserPreset preset{.name = std::move(name)};
    for (const auto& [p, v] : values) preset.values[p] = v;
    return preset;
}
