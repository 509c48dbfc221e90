#include "platform/folder_picker.h"

#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/windows/wide_text.h"

namespace {
// The shell's chooser wants a single-threaded apartment and blocks in its
// own modal loop, while the main thread is multithreaded and must keep
// drawing: it runs on a thread of its own.
struct Chooser {
    std::thread thread;
    std::atomic<FolderPick> state{FolderPick::Idle};
    std::atomic<HWND> dialog{nullptr};
    std::mutex lock;
    std::string folder;  // under lock
};
Chooser chooser;

int CALLBACK OnBrowse(HWND dialog, UINT message, LPARAM, LPARAM start) {
    if (message != BFFM_INITIALIZED) return 0;
    chooser.dialog = dialog;
    if (start != 0) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

void Browse(HWND owner, std::wstring title, std::wstring start) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = OnBrowse;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    std::string chosen;
    if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info); item != nullptr) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(item, path)) chosen = WideToUtf8(path);
        CoTaskMemFree(item);
    }
    chooser.dialog = nullptr;
    {
        std::lock_guard<std::mutex> guard(chooser.lock);
        chooser.folder = chosen;
    }
    chooser.state = chosen.empty() ? FolderPick::Cancelled : FolderPick::Chosen;
    if (SUCCEEDED(com)) CoUninitialize();
}
}  // namespace

bool StartFolderPick(const std::string& title, const std::string& startFolder, std::string& reason) {
    if (chooser.thread.joinable()) {
        reason = "a folder chooser is already open";
        return false;
    }
    chooser.state = FolderPick::Running;
    try {
        // The program's window, active on this thread, owns the dialog.
        chooser.thread = std::thread(Browse, GetActiveWindow(), Utf8ToWide(title), Utf8ToWide(startFolder));
    } catch (const std::system_error&) {
        chooser.state = FolderPick::Idle;
        reason = "no thread for the folder chooser";
        return false;
    }
    return true;
}

FolderPick PollFolderPick(std::string& folder) {
    if (!chooser.thread.joinable()) return FolderPick::Idle;
    const FolderPick state = chooser.state;
    if (state == FolderPick::Running) return state;
    chooser.thread.join();
    chooser.state = FolderPick::Idle;
    if (state == FolderPick::Chosen) {
        std::lock_guard<std::mutex> guard(chooser.lock);
        folder = chooser.folder;
    }
    return state;
}

void CancelFolderPick() {
    if (!chooser.thread.joinable()) return;
    // Half a second to close, then left behind: exit never hangs on it.
    for (int i = 0; i < 50 && chooser.state == FolderPick::Running; ++i) {
        if (HWND dialog = chooser.dialog; dialog != nullptr) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (chooser.state == FolderPick::Running) {
        chooser.thread.detach();
    } else {
        chooser.thread.join();
    }
    chooser.state = FolderPick::Idle;
}
