#include "tests/ui/frame_harness.h"

#include <SDL_scancode.h>

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

// The SDL back-end's table, in ImGuiKey order: keyboard navigation needs one
// and keys then reach the widgets as in the program.
// clang-format off
const int kSdlKeyMap[] = {
    SDL_SCANCODE_TAB, SDL_SCANCODE_LEFT, SDL_SCANCODE_RIGHT, SDL_SCANCODE_UP, SDL_SCANCODE_DOWN,
    SDL_SCANCODE_PAGEUP, SDL_SCANCODE_PAGEDOWN, SDL_SCANCODE_HOME, SDL_SCANCODE_END, SDL_SCANCODE_INSERT,
    SDL_SCANCODE_DELETE, SDL_SCANCODE_BACKSPACE, SDL_SCANCODE_SPACE, SDL_SCANCODE_RETURN, SDL_SCANCODE_ESCAPE,
    SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_A, SDL_SCANCODE_C, SDL_SCANCODE_V, SDL_SCANCODE_X, SDL_SCANCODE_Y,
    SDL_SCANCODE_Z};
// clang-format on
static_assert(std::size(kSdlKeyMap) == ImGuiKey_COUNT);
}  // namespace

void StartHeadlessUi(ImVec2 displaySize) {
    if (harness.context != nullptr) StopHeadlessUi();
    harness.context = ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;  // as in the program
    std::copy(std::begin(kSdlKeyMap), std::end(kSdlKeyMap), io.KeyMap);
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
