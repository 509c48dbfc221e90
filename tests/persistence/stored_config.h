#pragma once
// The config file as the next start would read it.

#include <gtest/gtest.h>

#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "persistence/working_values.h"
#include "engine/engine_params.h"
#include "tests/persistence/fresh_process.h"

inline AppConfig StoredConfig() {
    AppConfig stored = DefaultAppConfig();
    EXPECT_TRUE(ReadConfigText(ReadFile(ConfigPath()), stored)) << "the saved config reads without repair";
    return stored;
}

// A start as the program makes it: the engine, then the config into it and the mirrors.
inline void StartFromStoredConfig(WorkingValues& values) {
    InitEngine();
    LoadConfig();
    ApplyConfigToEngine(appConfig, values);
}
