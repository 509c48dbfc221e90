#pragma once
// The config file as the next start would read it.

#include <gtest/gtest.h>

#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "tests/persistence/fresh_process.h"

inline AppConfig StoredConfig() {
    AppConfig stored = DefaultAppConfig();
    EXPECT_TRUE(ReadConfigText(ReadFile(ConfigPath()), stored)) << "the saved config reads without repair";
    return stored;
}
