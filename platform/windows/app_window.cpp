// The program's window on Windows: a Win32 window with a Direct3D 11 swap
// chain, drawn by the GUI library's Win32 and DirectX 11 back-ends.

#include "platform/app_window.h"

#include <windows.h>
// after windows.h, which they need
#include <d3d11.h>
#include <dxgi.h>
#include <imgui.h>
#include <imgui_impl_dx11.h>
#include <imgui_impl_win32.h>
#include <mmsystem.h>
#include <objbase.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/app_icon.h"
#include "platform/shortcut_keys.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/window_names.h"

extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

namespace {
// Runs the frame loop's own work while Windows holds the thread in its loop for moving or sizing.
constexpr UINT_PTR kMoveSizeTimer = 19284;
constexpr UINT kMoveSizeTimerMs = 5;
constexpr int kIconResource = 101;

struct AppWindow {
    HWND window = nullptr;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    bool iconsOwned = false;  // drawn here rather than loaded from the resources
    bool classRegistered = false;
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    IDXGISwapChain* swapChain = nullptr;
    ID3D11RenderTargetView* target = nullptr;
    bool backEndsStarted = false;
    bool software = false;
    bool deviceLost = false;
    // Seen by the window procedure between two HandleWindowEvents.
    bool handledMessage = false;
    bool exposed = false;
    std::function<void()> moveSizeWork;
};
AppWindow appWindow;

struct WindowSystem {
    bool comStarted = false;
    bool timerPeriodSet = false;
};
WindowSystem windowSystem;

template <typename T>
void Release(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

bool CreateRenderTarget() {
    ID3D11Texture2D* backBuffer = nullptr;
    if (FAILED(appWindow.swapChain->GetBuffer(0, IID_PPV_ARGS(&backBuffer)))) return false;
    const HRESULT made = appWindow.device->CreateRenderTargetView(backBuffer, nullptr, &appWindow.target);
    backBuffer->Release();
    return SUCCEEDED(made);
}

void CleanupDeviceD3D() {
    Release(appWindow.target);
    Release(appWindow.swapChain);
    Release(appWindow.context);
    Release(appWindow.device);
}

// Microsoft's Basic Render Driver is WARP under another name, where no GPU driver is installed.
bool AdapterDrawsInSoftware() {
    IDXGIDevice* dxgiDevice = nullptr;
    if (FAILED(appWindow.device->QueryInterface(IID_PPV_ARGS(&dxgiDevice)))) return false;
    IDXGIAdapter* adapter = nullptr;
    DXGI_ADAPTER_DESC desc{};
    const bool known = SUCCEEDED(dxgiDevice->GetAdapter(&adapter)) && SUCCEEDED(adapter->GetDesc(&desc));
    Release(adapter);
    Release(dxgiDevice);
    const std::wstring name = known ? desc.Description : L"";
    return known && (desc.VendorId == 0x1414 || name.find(L"llvmpipe") != std::wstring::npos);
}

bool CreateDeviceD3D(HWND window, std::string& reason) {
    DXGI_SWAP_CHAIN_DESC sd{};
    sd.BufferCount = 2;
    sd.BufferDesc.Width = 0;
    sd.BufferDesc.Height = 0;
    sd.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    sd.BufferDesc.RefreshRate.Numerator = 60;
    sd.BufferDesc.RefreshRate.Denominator = 1;
    sd.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;
    sd.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    sd.OutputWindow = window;
    sd.SampleDesc.Count = 1;
    sd.SampleDesc.Quality = 0;
    sd.Windowed = TRUE;
    sd.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    const D3D_FEATURE_LEVEL levels[2] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_0};
    D3D_FEATURE_LEVEL level{};
    auto create = [&](D3D_DRIVER_TYPE driver) {
        return D3D11CreateDeviceAndSwapChain(nullptr, driver, nullptr, 0, levels, 2, D3D11_SDK_VERSION, &sd,
                                             &appWindow.swapChain, &appWindow.device, &level, &appWindow.context);
    };
    HRESULT result = create(D3D_DRIVER_TYPE_HARDWARE);
    appWindow.software = false;
    if (result == DXGI_ERROR_UNSUPPORTED) {
        result = create(D3D_DRIVER_TYPE_WARP);
        appWindow.software = true;
    }
    if (FAILED(result)) {
        reason = "Direct3D 11: " + SystemErrorText(static_cast<unsigned long>(result));
        return false;
    }
    if (!CreateRenderTarget()) {
        reason = "Direct3D 11: no render target on the swap chain";
        return false;
    }
    appWindow.software = appWindow.software || AdapterDrawsInSoftware();
    return true;
}

LRESULT WINAPI WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    appWindow.handledMessage = true;
    // Keys reach the GUI only through these messages, which Windows sends to the focused window alone.
    if (appWindow.backEndsStarted && ImGui_ImplWin32_WndProcHandler(window, message, wParam, lParam) != 0) return 1;
    switch (message) {
        case WM_ENTERSIZEMOVE:
            SetTimer(window, kMoveSizeTimer, kMoveSizeTimerMs, nullptr);
            return 0;
        case WM_EXITSIZEMOVE:
            KillTimer(window, kMoveSizeTimer);
            return 0;
        case WM_TIMER:
            if (wParam != kMoveSizeTimer) break;
            if (appWindow.moveSizeWork) appWindow.moveSizeWork();
            return 0;
        case WM_SIZE:
            if (appWindow.device != nullptr && wParam != SIZE_MINIMIZED) {
                // The buffers are resized only when nothing holds them, the bound target included.
                appWindow.context->OMSetRenderTargets(0, nullptr, nullptr);
                Release(appWindow.target);
                appWindow.swapChain->ResizeBuffers(0, LOWORD(lParam), HIWORD(lParam), DXGI_FORMAT_UNKNOWN, 0);
                CreateRenderTarget();
                appWindow.exposed = true;
            }
            return 0;
        case WM_PAINT:
            appWindow.exposed = true;
            break;  // the default validates the region
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_KEYMENU) return 0;  // Alt alone does not open the system menu
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The program's icon when the executable carries none.
HICON DrawIcon(int size) {
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = size;
    header.bV5Height = -size;  // top row first
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP colour =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (colour == nullptr) return nullptr;
    // The DIB wants BGRA where the drawing gives RGBA.
    const std::vector<uint8_t> rgba = DrawAppIcon(size);
    auto* pixels = static_cast<uint8_t*>(bits);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        pixels[i] = rgba[i + 2];
        pixels[i + 1] = rgba[i + 1];
        pixels[i + 2] = rgba[i];
        pixels[i + 3] = rgba[i + 3];
    }
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask;
    info.hbmColor = colour;
    HICON icon = mask != nullptr ? CreateIconIndirect(&info) : nullptr;
    if (mask != nullptr) DeleteObject(mask);
    DeleteObject(colour);
    return icon;
}

void LoadIcons(HINSTANCE instance) {
    auto load = [&](int sizeX, int sizeY) {
        return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                             GetSystemMetrics(sizeX), GetSystemMetrics(sizeY), LR_SHARED));
    };
    appWindow.bigIcon = load(SM_CXICON, SM_CYICON);
    appWindow.smallIcon = load(SM_CXSMICON, SM_CYSMICON);
    if (appWindow.bigIcon != nullptr || appWindow.smallIcon != nullptr) return;
    appWindow.iconsOwned = true;
    appWindow.bigIcon = DrawIcon(GetSystemMetrics(SM_CXICON));
    appWindow.smallIcon = DrawIcon(GetSystemMetrics(SM_CXSMICON));
}

void FreeIcons() {
    if (appWindow.iconsOwned) {
        if (appWindow.bigIcon != nullptr) DestroyIcon(appWindow.bigIcon);
        if (appWindow.smallIcon != nullptr) DestroyIcon(appWindow.smallIcon);
    }
    appWindow.bigIcon = nullptr;
    appWindow.smallIcon = nullptr;
}

// RGBA, top row first, from the back buffer through a texture the processor can read.
bool ReadBackBuffer(std::vector<uint8_t>& rgba, int& width, int& height) {
    ID3D11Texture2D* backBuffer = nullptr;
    if (FAILED(appWindow.swapChain->GetBuffer(0, IID_PPV_ARGS(&backBuffer)))) return false;
    D3D11_TEXTURE2D_DESC desc{};
    backBuffer->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    ID3D11Texture2D* staging = nullptr;
    bool read = false;
    if (SUCCEEDED(appWindow.device->CreateTexture2D(&desc, nullptr, &staging))) {
        appWindow.context->CopyResource(staging, backBuffer);
        D3D11_MAPPED_SUBRESOURCE mapped{};
        if (SUCCEEDED(appWindow.context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
            width = static_cast<int>(desc.Width);
            height = static_cast<int>(desc.Height);
            const size_t row = 4 * static_cast<size_t>(width);
            rgba.resize(row * static_cast<size_t>(height));
            for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
                std::memcpy(rgba.data() + row * y, static_cast<const uint8_t*>(mapped.pData) + mapped.RowPitch * y,
                            row);
            }
            appWindow.context->Unmap(staging, 0);
            // The back buffer's alpha is whatever blending left there; the picture is opaque.
            for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
            read = true;
        }
    }
    Release(staging);
    backBuffer->Release();
    return read;
}
}  // namespace

const ShortcutKeyCodes& ShortcutKeys() {
    // The Win32 back-end fills the key-down table by virtual-key code.
    static const ShortcutKeyCodes keys{.t = 'T',
                                       .h = 'H',
                                       .numpadDivide = VK_DIVIDE,
                                       .numpadDecimal = VK_DECIMAL,
                                       .numpadPlus = VK_ADD,
                                       .numpadMinus = VK_SUBTRACT,
                                       .numpad0 = VK_NUMPAD0,
                                       .numpadMultiply = VK_MULTIPLY};
    return keys;
}

bool StartWindowSystem(std::string& /*reason*/) {
    // Started from a console, the console lines go there; started from the
    // desktop, nowhere; started with its output redirected, there.
    const bool redirected = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN;
    if (!redirected && AttachConsole(ATTACH_PARENT_PROCESS) != 0) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
    SetConsoleOutputCP(CP_UTF8);
    windowSystem.comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_SPEED_OVER_MEMORY));
    // Short sleeps of the device operations are then as long as asked.
    windowSystem.timerPeriodSet = timeBeginPeriod(1) == TIMERR_NOERROR;
    return true;
}

void StopWindowSystem() {
    if (windowSystem.timerPeriodSet) timeEndPeriod(1);
    if (windowSystem.comStarted) CoUninitialize();
    windowSystem = WindowSystem{};
}

WindowBounds UsableDisplayBounds() {
    RECT work{0, 0, 1280, 800};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return WindowBounds{work.left, work.top, work.right - work.left, work.bottom - work.top};
}

bool OpenAppWindow(const std::string& title, const WindowBounds& place, std::string& reason) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    LoadIcons(instance);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = appWindow.bigIcon;
    windowClass.hIconSm = appWindow.smallIcon;
    windowClass.lpszClassName = kWindowClassName;
    if (RegisterClassExW(&windowClass) == 0) {
        reason = "RegisterClassExW: " + SystemErrorText(GetLastError());
        CloseAppWindow();
        return false;
    }
    appWindow.classRegistered = true;
    appWindow.window = CreateWindowExW(0, kWindowClassName, Utf8ToWide(title).c_str(), WS_OVERLAPPEDWINDOW, place.x,
                                       place.y, place.width, place.height, nullptr, nullptr, instance, nullptr);
    if (appWindow.window == nullptr) {
        reason = "CreateWindowExW: " + SystemErrorText(GetLastError());
        CloseAppWindow();
        return false;
    }
    SendMessageW(appWindow.window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appWindow.bigIcon));
    SendMessageW(appWindow.window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(appWindow.smallIcon));
    if (!CreateDeviceD3D(appWindow.window, reason)) {
        CloseAppWindow();
        return false;
    }
    ShowWindow(appWindow.window, SW_SHOWNORMAL);
    UpdateWindow(appWindow.window);
    if (!ImGui_ImplWin32_Init(appWindow.window)) {
        reason = "the GUI library's Win32 back-end did not start";
        CloseAppWindow();
        return false;
    }
    if (!ImGui_ImplDX11_Init(appWindow.device, appWindow.context)) {
        ImGui_ImplWin32_Shutdown();
        reason = "the GUI library's DirectX 11 back-end did not start";
        CloseAppWindow();
        return false;
    }
    appWindow.backEndsStarted = true;
    return true;
}

void CloseAppWindow() {
    appWindow.moveSizeWork = nullptr;
    if (appWindow.window != nullptr) KillTimer(appWindow.window, kMoveSizeTimer);
    if (appWindow.backEndsStarted) {
        ImGui_ImplDX11_Shutdown();
        ImGui_ImplWin32_Shutdown();
        appWindow.backEndsStarted = false;
    }
    CleanupDeviceD3D();
    // Closed by the user, it is gone already.
    if (appWindow.window != nullptr && IsWindow(appWindow.window)) DestroyWindow(appWindow.window);
    if (appWindow.classRegistered) UnregisterClassW(kWindowClassName, GetModuleHandleW(nullptr));
    FreeIcons();
    appWindow = AppWindow{};
}

bool AppWindowDisplayLost() { return appWindow.deviceLost; }

void SetMoveSizeWork(std::function<void()> work) { appWindow.moveSizeWork = std::move(work); }

bool HandleWindowEvents(double timeoutSeconds, bool& quit, bool& exposed) {
    appWindow.handledMessage = false;
    MSG message;
    const auto waitMs = static_cast<DWORD>(std::lround(std::max(0.0, timeoutSeconds) * 1000.0));
    if (waitMs > 0 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) == 0) {
        MsgWaitForMultipleObjectsEx(0, nullptr, waitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    bool any = false;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
        any = true;
        if (message.message == WM_QUIT) {
            quit = true;
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (appWindow.exposed) exposed = true;
    appWindow.exposed = false;
    if (appWindow.deviceLost) quit = true;
    return any || appWindow.handledMessage;
}

bool AppWindowMinimised() { return appWindow.window != nullptr && IsIconic(appWindow.window) != 0; }

bool AppWindowDrawsInSoftware() { return appWindow.software; }

void BeginWindowFrame() {
    ImGui_ImplDX11_NewFrame();
    ImGui_ImplWin32_NewFrame();
}

void PresentWindowFrame(const float clear[4], std::vector<uint8_t>* capture, int& width, int& height) {
    const ImGuiIO& io = ImGui::GetIO();
    width = static_cast<int>(io.DisplaySize.x);
    height = static_cast<int>(io.DisplaySize.y);
    if (appWindow.target == nullptr) return;
    appWindow.context->OMSetRenderTargets(1, &appWindow.target, nullptr);
    appWindow.context->ClearRenderTargetView(appWindow.target, clear);
    ImGui_ImplDX11_RenderDrawData(ImGui::GetDrawData());
    if (capture != nullptr && !ReadBackBuffer(*capture, width, height)) capture->clear();
    const HRESULT shown = appWindow.swapChain->Present(1, 0);
    // The graphics driver was updated or removed: the device cannot draw again.
    if (shown == DXGI_ERROR_DEVICE_REMOVED || shown == DXGI_ERROR_DEVICE_RESET) appWindow.deviceLost = true;
}

WindowPlacement GetAppWindowPlacement() {
    WindowPlacement placement;
    WINDOWPLACEMENT saved{};
    saved.length = sizeof saved;
    if (appWindow.window == nullptr || GetWindowPlacement(appWindow.window, &saved) == 0) return placement;
    const RECT& r = saved.rcNormalPosition;
    placement.bounds = WindowBounds{r.left, r.top, r.right - r.left, r.bottom - r.top};
    placement.maximised = saved.showCmd == SW_SHOWMAXIMIZED;
    return placement;
}

void SetAppWindowPlacement(const WindowPlacement& placement) {
    if (appWindow.window == nullptr) return;
    WINDOWPLACEMENT saved{};
    saved.length = sizeof saved;
    GetWindowPlacement(appWindow.window, &saved);
    const WindowBounds& b = placement.bounds;
    if (b.width > 0 && b.height > 0) saved.rcNormalPosition = RECT{b.x, b.y, b.x + b.width, b.y + b.height};
    saved.showCmd = placement.maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    SetWindowPlacement(appWindow.window, &saved);
    ShowWindow(appWindow.window, placement.maximised ? SW_MAXIMIZE : SW_SHOWNORMAL);
}

void ResizeAppWindow(int width, int height) {
    if (appWindow.window == nullptr) return;
    if (IsZoomed(appWindow.window) != 0) ShowWindow(appWindow.window, SW_RESTORE);
    SetWindowPos(appWindow.window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void KeepAppWindowOnTop(bool onTop) {
    if (appWindow.window == nullptr) return;
    SetWindowPos(appWindow.window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
}

void RaiseAppWindow() {
    if (appWindow.window != nullptr) RaiseWindow(appWindow.window);
}

bool SavePng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height) {
    if (width <= 0 || height <= 0 || rgba.size() < 4 * static_cast<size_t>(width) * static_cast<size_t>(height)) {
        return false;
    }
    std::vector<uint8_t> png;
    auto append = [](void* context, void* data, int size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        static_cast<std::vector<uint8_t>*>(context)->insert(static_cast<std::vector<uint8_t>*>(context)->end(), bytes,
                                                            bytes + size);
    };
    if (stbi_write_png_to_func(append, &png, width, height, 4, rgba.data(), 4 * width) == 0) return false;
    // Written beside it and moved over it, so a reader never sees half a picture.
    const std::wstring target = Utf8ToWide(path);
    const std::wstring partial = target + L".partial";
    FILE* file = _wfopen(partial.c_str(), L"wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (std::fclose(file) != 0 || !written) {
        _wremove(partial.c_str());
        return false;
    }
    if (MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) == 0) {
        _wremove(partial.c_str());
        return false;
    }
    return true;
}
