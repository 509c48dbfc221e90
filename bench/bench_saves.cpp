// The kept files as they are saved while the user works: the config on every
// frame of a slider drag, the presets and the song library at 100 entries.
// Each save is a whole-file replacement flushed to disk, in a data folder on
// the same disk as the working directory.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "persistence/app_config.h"
#include "persistence/data_folder.h"
#include "persistence/song_library.h"
#include "persistence/user_presets.h"

namespace {
std::string scratch;

// Before the first data path is asked for, so the user's own folder is never touched.
void UseScratchDataFolder() {
    if (!scratch.empty()) return;
    scratch = (std::filesystem::current_path() / "bench-data-XXXXXX").string();
    if (mkdtemp(scratch.data()) == nullptr) return;
    setenv("XDG_DATA_HOME", scratch.c_str(), 1);
    std::atexit([] { std::filesystem::remove_all(scratch); });
}

void BM_SaveConfig(benchmark::State& state) {
    UseScratchDataFolder();
    appConfig = DefaultAppConfig();
    for (auto _ : state) {
        appConfig.vocalAir = appConfig.vocalAir == 2.8f ? 2.9f : 2.8f;  // a slider moving
        if (!SaveConfig()) state.SkipWithError("the config could not be written");
    }
}
BENCHMARK(BM_SaveConfig)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SaveUserPresets100(benchmark::State& state) {
    UseScratchDataFolder();
    userPresets.clear();
    for (int i = 0; i < 100; ++i) userPresets.push_back({.name = "Bolero Hòa " + std::to_string(i)});
    for (auto _ : state) {
        if (!SaveUserPresets()) state.SkipWithError("the presets could not be written");
    }
}
BENCHMARK(BM_SaveUserPresets100)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SaveSongLibrary100(benchmark::State& state) {
    UseScratchDataFolder();
    songLibrary.songs.assign(SongLibrary::maxSongs,
                             {"Mưa trên biển vắng", "https://www.youtube.com/watch?v=abcdefghijk", -2, true, ""});
    for (auto _ : state) {
        if (!SaveSongLibrary()) state.SkipWithError("the library could not be written");
    }
}
BENCHMARK(BM_SaveSongLibrary100)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
}  // namespace
