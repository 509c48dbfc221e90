#include "tests/ui/frame_harness.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "ui/widgets/font.h"
#include "ui/widgets/theme.h"

namespace {
struct Harness {
    ImGuiContext* context = nullptr;
    ItemProbe probe;
    std::string clipboard;  // no desktop's clipboard without a window
};
Harness harness;

// The key table in ImGuiKey order, numbered as SDL's scancodes like the
// scripted platform's shortcut keys: keyboard navigation needs one, and keys
// then reach the widgets as in the program. Tab, the arrows, Page Up/Down,
// Home, End, Insert, Delete, Backspace, Space, Return, Escape, keypad Enter,
// A, C, V, X, Y, Z.
const int kKeyMap[] = {43, 80, 79, 82, 81, 75, 78, 74, 77, 73, 76, 42, 44, 40, 41, 88, 4, 6, 25, 27, 28, 29};
static_assert(std::size(kKeyMap) == ImGuiKey_COUNT);
}  // namespace

void StartHeadlessUi(ImVec2 displaySize) {
    if (harness.context != nullptr) StopHeadlessUi();
    harness.context = ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;  // as in the program
    std::copy(std::begin(kKeyMap), std::end(kKeyMap), io.KeyMap);
    std::string reason;
    if (!LoadUiFont(reason)) std::fprintf(stderr, "%s\n", reason.c_str());
    ApplyTheme();
    io.DisplaySize = displaySize;
    io.DeltaTime = 1.0f / 60.0f;
    io.SetClipboardTextFn = [](void*, const char* text) { harness.clipboard = text; };
    io.GetClipboardTextFn = [](void*) { return harness.clipboard.c_str(); };
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);  // the atlas is built here
    io.Fonts->SetTexID(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(1)));
}

void StopHeadlessUi() {
    SetItemProbe(nullptr);
    if (harness.context != nullptr) ImGui::DestroyContext(harness.context);
    harness = Harness{};
}

const ItemProbe& RunFrame(const std::function<void()>& body) {
    harness.probe.items.clear();
    SetItemProbe(&harness.probe);
    ImGui::NewFrame();
    body();
    ImGui::Render();
    SetItemProbe(nullptr);
    return harness.probe;
}

const ProbedItem* FindItem(const std::string& label) {
    const auto& items = harness.probe.items;
    const auto item = std::find_if(items.rbegin(), items.rend(), [&](const ProbedItem& i) { return i.label == label; });
    return item != items.rend() ? &*item : nullptr;
}

bool Click(const std::string& label, const std::function<void()>& body, float atX) {
    const ProbedItem* item = FindItem(label);
    if (item == nullptr) return false;
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = ImVec2(item->min.x + atX * (item->max.x - item->min.x), (item->min.y + item->max.y) / 2.0f);
    RunFrame(body);
    io.MouseDown[0] = true;
    RunFrame(body);
    io.MouseDown[0] = false;
    RunFrame(body);
    return true;
}

void SetKeyDown(int keyIndex, bool down) { ImGui::GetIO().KeysDown[keyIndex] = down; }

void TypeText(const char* utf8) { ImGui::GetIO().AddInputCharactersUTF8(utf8); }
