// Vietnamese names on Windows: each file road of the program (a take, its
// repair and reading, the kept files and their backups, the data folder's
// base) reaches the name the user sees, whatever the ANSI code page is.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "persistence/atomic_file.h"
#include "persistence/data_folder.h"
#include "persistence/kept_file.h"
#include "platform/file_access.h"
#include "platform/known_paths.h"
#include "platform/record_file.h"
#include "recording/record_folder.h"
#include "recording/take_repair.h"
#include "recording/wav_header.h"
#include "tools/wav_files.h"

namespace {
namespace fs = std::filesystem;

// The folder as the system names it, checked apart from the program's own conversions.
bool ExistsWide(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(WindowsPaths, VietnameseNamesReachEveryFileRoadIntact) {
    const std::pair<std::string, std::wstring> names[] = {
        {"B\xE1\xBA\xA3n thu Vi\xE1\xBB\x87t", L"B\u1EA3n thu Vi\u1EC7t"},
        {"Ti\xE1\xBA\xBFng h\xC3\xA1t \xE2\x80\x94 \xE1\xBB\x95n", L"Ti\u1EBFng h\u00E1t \u2014 \u1ED5n"}};
    std::string temp = TempFolder();  // UTF-8, its separator kept
    if (!temp.ends_with('\\')) temp += '\\';
    for (const auto& [name, wide] : names) {
        SCOPED_TRACE(name);
        const std::string folder = temp + name;
        std::error_code error;
        fs::remove_all(Utf8Path(folder), error);  // a run that failed half-way
        std::string reason;
        ASSERT_TRUE(EnsureRecordFolder(folder, reason)) << reason;
        EXPECT_TRUE(ExistsWide(Utf8Path(temp).wstring() + wide));

        // A take held open by its writer: its name is taken, a repair leaves it alone.
        const std::string take = folder + "\\" + name + ".wav";
        RecordFileHandle file;
        bool taken = false;
        ASSERT_TRUE(CreateRecordFile(take, file, taken, reason)) << reason;
        const auto header = BuildWavHeader(0);
        const uint8_t frames[4 * kWavFrameBytes] = {1, 0, 2, 0, 3, 0, 4, 0};
        size_t written = 0;
        EXPECT_TRUE(AppendRecordFile(file, header.data(), header.size(), written, reason) &&
                    AppendRecordFile(file, frames, sizeof frames, written, reason));
        RecordFileHandle second;
        EXPECT_TRUE(!CreateRecordFile(take, second, taken, reason) && taken);
        uint64_t announced = 0;
        EXPECT_TRUE(!RepairCutTake(take, announced, reason) && reason.empty()) << reason;
        EXPECT_TRUE(CloseRecordFile(file, reason));
        // Cut before its header was updated: repaired, then read back by the tools.
        EXPECT_TRUE(RepairCutTake(take, announced, reason) && announced == 4) << reason;
        WavReader wav;
        ASSERT_TRUE(OpenWavReader(take, wav, reason)) << reason;
        EXPECT_TRUE(wav.channels == 2 && wav.frames == 4);
        CloseWavReader(wav);

        // A kept file, its backup beside it, and both read back.
        const std::string kept = folder + "\\" + name + ".txt";
        ASSERT_TRUE(WriteFileAtomically(kept, name));
        const std::string backup = BackUpFile(kept, "recovered");
        std::string text;
        EXPECT_TRUE(ReadTextFile(backup, text, 100) == FileRead::Whole && text == name) << backup;
        EXPECT_TRUE(ReadTextFile(kept, text, 100) == FileRead::Whole && text == name);

        // The data folder's base when the shell has none: the variable, in UTF-8.
        ASSERT_TRUE(SetEnvironmentVariableW(L"LOCALAPPDATA", (Utf8Path(temp).wstring() + wide).c_str()));
        EXPECT_EQ(EnvironmentText("LOCALAPPDATA"), folder);
        fs::remove_all(Utf8Path(temp) / wide, error);
    }
    EXPECT_TRUE(fs::is_directory(Utf8Path(GetDataFolder())));
}
}  // namespace
