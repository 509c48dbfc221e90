#include "platform/app_window.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_syswm.h>
#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <imgui_impl_sdl.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/app_icon.h"
#include "platform/shortcut_keys.h"

namespace {
struct AppWindow {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool backEndsStarted = false;
    bool software = false;
    // The display's connection broke (the X server ended): nothing may be drawn
    // or torn down through it any more, but the program still ends in order.
    bool displayLost = false;
};
AppWindow appWindow;

#if defined(SDL_VIDEO_DRIVER_X11)
// Xlib would otherwise end the process on the spot, with the audio threads
// still running under the static destructors.
void OnDisplayLost(Display* /*display*/, void* /*data*/) { appWindow.displayLost = true; }
int OnDisplayError(Display* /*display*/) {
    appWindow.displayLost = true;
    return 0;
}
#endif

void WatchDisplayConnection(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11) {
        XSetIOErrorHandler(OnDisplayError);
        XSetIOErrorExitHandler(info.info.x11.display, OnDisplayLost, nullptr);
    }
#else
    (void)window;
#endif
}

// The drawn icon in a surface of its own (SDL copies it for the window).
SDL_Surface* MakeIcon(std::vector<uint8_t>& pixels) {
    constexpr int kSize = 64;
    pixels = DrawAppIcon(kSize);
    return SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), kSize, kSize, 32, 4 * kSize, SDL_PIXELFORMAT_RGBA32);
}
}  // namespace

const ShortcutKeyCodes& ShortcutKeys() {
    // The SDL back-end fills the key-down table by scancode.
    static const ShortcutKeyCodes keys{.t = SDL_SCANCODE_T,
                                       .h = SDL_SCANCODE_H,
                                       .numpadDivide = SDL_SCANCODE_KP_DIVIDE,
                                       .numpadDecimal = SDL_SCANCODE_KP_PERIOD,
                                       .numpadPlus = SDL_SCANCODE_KP_PLUS,
                                       .numpadMinus = SDL_SCANCODE_KP_MINUS,
                                       .numpad0 = SDL_SCANCODE_KP_0,
                                       .numpadMultiply = SDL_SCANCODE_KP_MULTIPLY};
    return keys;
}

bool StartWindowSystem(std::string& reason) {
    // The program ends on SIGINT and SIGTERM through its own handlers.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
        reason = SDL_GetError();
        return false;
    }
    return true;
}

WindowBounds UsableDisplayBounds() {
    SDL_Rect r{0, 0, 1280, 800};
    if (SDL_GetDisplayUsableBounds(0, &r) != 0) SDL_GetDisplayBounds(0, &r);
    return WindowBounds{r.x, r.y, r.w, r.h};
}

bool OpenAppWindow(const std::string& title, const WindowBounds& place, std::string& reason) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    const auto flags =
        static_cast<SDL_WindowFlags>(SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    appWindow.window = SDL_CreateWindow(title.c_str(), place.x, place.y, place.width, place.height, flags);
    if (appWindow.window == nullptr) {
        reason = SDL_GetError();
        return false;
    }
    WatchDisplayConnection(appWindow.window);
    std::vector<uint8_t> iconPixels;
    if (SDL_Surface* icon = MakeIcon(iconPixels)) {
        SDL_SetWindowIcon(appWindow.window, icon);
        SDL_FreeSurface(icon);
    }
    appWindow.context = SDL_GL_CreateContext(appWindow.window);
    if (appWindow.context == nullptr) {
        reason = SDL_GetError();
        CloseAppWindow();
        return false;
    }
    SDL_GL_MakeCurrent(appWindow.window, appWindow.context);
    SDL_GL_SetSwapInterval(1);
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string name = renderer != nullptr ? renderer : "";
    appWindow.software = name.find("llvmpipe") != std::string::npos || name.find("softpipe") != std::string::npos ||
                         name.find("Software") != std::string::npos;
    if (!ImGui_ImplSDL2_InitForOpenGL(appWindow.window, appWindow.context) || !ImGui_ImplOpenGL3_Init("#version 130")) {
        reason = "the GUI back-ends did not start on OpenGL " + name;
        CloseAppWindow();
        return false;
    }
    appWindow.backEndsStarted = true;
    return true;
}

void CloseAppWindow() {
    if (appWindow.displayLost) {
        // Its resources went with the connection; only the GUI library's side is left.
        if (appWindow.backEndsStarted) ImGui_ImplSDL2_Shutdown();
        appWindow = AppWindow{.displayLost = true};
        return;
    }
    if (appWindow.backEndsStarted) {
        ImGui_ImplOpenGL3_Shutdown();
        ImGui_ImplSDL2_Shutdown();
    }
    if (appWindow.context != nullptr) SDL_GL_DeleteContext(appWindow.context);
    if (appWindow.window != nullptr) SDL_DestroyWindow(appWindow.window);
    appWindow = AppWindow{};
}

void StopWindowSystem() {
    // Closing the display again through a broken connection would end the process.
    if (!appWindow.displayLost) SDL_Quit();
}

bool AppWindowDisplayLost() { return appWindow.displayLost; }

// Moving or sizing an SDL window never holds the main thread: the loop itself keeps running.
void SetMoveSizeWork(std::function<void()> /*work*/) {}

bool HandleWindowEvents(double timeoutSeconds, bool& quit, bool& exposed) {
    if (appWindow.displayLost) {
        quit = true;
        return false;
    }
    SDL_Event event;
    const int waitMs = static_cast<int>(std::lround(std::max(0.0, timeoutSeconds) * 1000.0));
    bool any = waitMs > 0 ? SDL_WaitEventTimeout(&event, waitMs) == 1 : SDL_PollEvent(&event) == 1;
    if (!any) return false;
    do {
        ImGui_ImplSDL2_ProcessEvent(&event);
        if (event.type == SDL_QUIT) quit = true;
        if (event.type != SDL_WINDOWEVENT) continue;
        switch (event.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                quit = true;
                break;
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_SHOWN:
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                exposed = true;
                break;
            default:
                break;
        }
    } while (SDL_PollEvent(&event) == 1);
    if (appWindow.displayLost) quit = true;
    return true;
}

bool AppWindowMinimised() {
    return appWindow.window != nullptr && (SDL_GetWindowFlags(appWindow.window) & SDL_WINDOW_MINIMIZED) != 0;
}

bool AppWindowDrawsInSoftware() { return appWindow.software; }

void BeginWindowFrame() {
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplSDL2_NewFrame();
}

void PresentWindowFrame(const float clear[4], std::vector<uint8_t>* capture, int& width, int& height) {
    const ImGuiIO& io = ImGui::GetIO();
    width = static_cast<int>(io.DisplaySize.x * io.DisplayFramebufferScale.x);
    height = static_cast<int>(io.DisplaySize.y * io.DisplayFramebufferScale.y);
    glViewport(0, 0, width, height);
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    if (capture != nullptr && width > 0 && height > 0) {
        const size_t row = 4 * static_cast<size_t>(width);
        std::vector<uint8_t> bottomUp(row * static_cast<size_t>(height));
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
        capture->resize(bottomUp.size());
        for (int y = 0; y < height; ++y) {
            std::memcpy(capture->data() + row * static_cast<size_t>(y),
                        bottomUp.data() + row * static_cast<size_t>(height - 1 - y), row);
        }
        // The back buffer's alpha is whatever blending left there; the picture is opaque.
        for (size_t i = 3; i < capture->size(); i += 4) (*capture)[i] = 255;
    }
    SDL_GL_SwapWindow(appWindow.window);
}

WindowPlacement GetAppWindowPlacement() {
    WindowPlacement placement;
    if (appWindow.window == nullptr) return placement;
    WindowBounds& b = placement.bounds;
    SDL_GetWindowPosition(appWindow.window, &b.x, &b.y);
    SDL_GetWindowSize(appWindow.window, &b.width, &b.height);
    placement.maximised = (SDL_GetWindowFlags(appWindow.window) & SDL_WINDOW_MAXIMIZED) != 0;
    return placement;
}

void SetAppWindowPlacement(const WindowPlacement& placement) {
    if (appWindow.window == nullptr) return;
    const WindowBounds& b = placement.bounds;
    SDL_RestoreWindow(appWindow.window);
    if (b.width > 0 && b.height > 0) SDL_SetWindowSize(appWindow.window, b.width, b.height);
    SDL_SetWindowPosition(appWindow.window, b.x, b.y);
    if (placement.maximised) SDL_MaximizeWindow(appWindow.window);
}

void ResizeAppWindow(int width, int height) {
    if (appWindow.window == nullptr) return;
    SDL_RestoreWindow(appWindow.window);
    SDL_SetWindowSize(appWindow.window, width, height);
}

void KeepAppWindowOnTop(bool onTop) {
    if (appWindow.window != nullptr) SDL_SetWindowAlwaysOnTop(appWindow.window, onTop ? SDL_TRUE : SDL_FALSE);
}

void RaiseAppWindow() {
    if (appWindow.window == nullptr) return;
    SDL_RestoreWindow(appWindow.window);
    SDL_ShowWindow(appWindow.window);
    SDL_RaiseWindow(appWindow.window);
    SDL_FlashWindow(appWindow.window, SDL_FLASH_BRIEFLY);
}

bool SavePng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height) {
    if (rgba.size() < 4 * static_cast<size_t>(width) * static_cast<size_t>(height)) return false;
    // Written beside it and renamed, so a reader never sees half a picture.
    const std::string partial = path + ".partial";
    if (stbi_write_png(partial.c_str(), width, height, 4, rgba.data(), 4 * width) == 0) return false;
    return std::rename(partial.c_str(), path.c_str()) == 0;
}
