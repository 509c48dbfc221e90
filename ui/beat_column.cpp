#include "ui/beat_column.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/device_actions.h"
#include "app/host_requests.h"
#include "app/outside_world.h"
#include "devices/endpoint_selection.h"
#include "devices/mic_bridge.h"
#include "devices/studio_host.h"
#include "engine/engine_params.h"
#include "platform/studio_driver.h"
#include "ui/param_slider.h"
#include "ui/widgets/item_probe.h"
#include "ui/widgets/theme.h"
#include "ui/widgets/widgets.h"

namespace {
const char* const kAsioChannels[] = {"Cong 1 (Input 1)", "Cong 2 (Input 2)", "Song Ca (Gop Input 1 + Input 2)"};
const char* const kBridgeChannels[] = {"AUTO - chon kenh mic manh hon", "CH1 / LEFT", "CH2 / RIGHT"};
const char* const kBufferSizes[] = {"64 samples  (~1.3ms - CPU manh)", "128 samples (~2.6ms - Tieu chuan)",
                                    "256 samples (~5.3ms - On dinh)"};
constexpr int32_t kBufferFrames[] = {64, 128, 256};

const AsioDriverEntry* CurrentDriver() {
    const int i = studioHost.currentDriverIndex;
    return i >= 0 && static_cast<size_t>(i) < studioHost.asioDrivers.size()
               ? &studioHost.asioDrivers[static_cast<size_t>(i)]
               : nullptr;
}

void DrawToneCard(ShellState& shell) {
    const float tone = shell.toneSemitones;
    BeginCard("##HeroToneControl", 152.0f);
    ImGui::TextColored(kGreen, "TONE CONTROL");
    ImGui::TextColored(kMuted, "Tang / giam tone beat khong doi tempo - gioi han +/-3");
    ImGui::Spacing();
    ImGui::SetWindowFontScale(1.34f);
    ImGui::TextColored(ImVec4(0.90f, 0.97f, 1.0f, 1.0f), "%+.1f st", static_cast<double>(tone));
    ImGui::SetWindowFontScale(1.0f);
    ImGui::SameLine();
    ImGui::TextColored(kMuted, tone == 0.0f ? "TONE GOC" : "TONE DANG DUNG");
    const float spacing = ImGui::GetStyle().ItemSpacing.x;
    const ImVec2 size((ImGui::GetContentRegionAvail().x - 2 * spacing) / 3, 36);
    ImGui::BeginDisabled(tone <= -3.0f);
    if (Noted("-  GIAM", ImGui::Button("-  GIAM", size))) StepBeatTone(shell, -1.0f);
    ImGui::EndDisabled();
    ImGui::SameLine();
    const ImVec4 resetColour = tone == 0.0f ? ImVec4(0.16f, 0.45f, 0.34f, 1.0f) : ImVec4(0.20f, 0.31f, 0.42f, 1.0f);
    if (ColouredButton("0  GOC", size, resetColour, ImGui::GetStyleColorVec4(ImGuiCol_ButtonHovered))) {
        ResetBeatTone(shell);
    }
    ImGui::SameLine();
    ImGui::BeginDisabled(tone >= 3.0f);
    if (Noted("+  TANG", ImGui::Button("+  TANG", size))) StepBeatTone(shell, 1.0f);
    ImGui::EndDisabled();
    EndCard();
}

void DrawAudioDevicePanel(ShellState& shell) {
    if (!PanelHeader("AUDIO DEVICE  |  Soundcard / ASIO", &AppConfig::uiAudioDeviceOpen)) return;
    const std::vector<AsioDriverEntry>& drivers = studioHost.asioDrivers;
    if (!studioHost.asioAvailable || !DriverHostExists() || drivers.empty()) {
        ImGui::TextColored(kAmber, "STUDIO AUDIO: CHUA PHAT HIEN ASIO");
        ImGui::TextWrapped(
            "Mini Player, thu vien bai hat va cai dat van dung binh thuong; chi Vocal Studio can driver soundcard.");
        ImGui::TextDisabled(
            "Neu muon dung Vocal Studio/ASIO, hay cai driver Native ASIO cua soundcard hoac ASIO4ALL fallback, sau "
            "do khoi dong lai Sonavela.");
        ImGui::Separator();
    }
    if (!drivers.empty()) {
        std::vector<const char*> names;
        for (const AsioDriverEntry& d : drivers) names.push_back(d.name.c_str());
        int index = studioHost.currentDriverIndex;
        ImGui::SetNextItemWidth(-FLT_MIN);
        if (ChoiceCombo("##AsioDeviceCombo", index, names.data(), static_cast<int>(names.size())) &&
            index != studioHost.currentDriverIndex) {
            ChooseDriver(index);
        }
    }
    const AsioDriverEntry* driver = CurrentDriver();
    if (driver == nullptr || !DriverOffersCardControls(driver->name)) return;
    if (Noted("MỞ AUDIO CONTROL PANEL", ImGui::Button("MỞ AUDIO CONTROL PANEL", ImVec2(-FLT_MIN, 28)))) {
        OpenSoundControlPanel();
    }
    const ImVec4 restoreColour(0.25f, 0.40f, 0.55f, 1.0f);
    if (ColouredButton("KHÔI PHỤC ÂM THANH", ImVec2(-FLT_MIN, 30), restoreColour,
                       ImGui::GetStyleColorVec4(ImGuiCol_ButtonHovered))) {
        hostRequests.requestedStudioRestore = true;
    }
    if (shell.restoreResult == 0 || ImGui::GetTime() >= shell.restoreShownUntil) return;
    const bool done = shell.restoreResult > 0;
    const char* said = done ? ">>> [OK] DA KHOI PHUC AM THANH THANH CONG!" : ">>> [!] KHONG THE KET NOI LAI DRIVER!";
    ImGui::TextColored(done ? ImVec4(0.0f, 1.0f, 0.5f, 1.0f) : ImVec4(1.0f, 0.25f, 0.25f, 1.0f), "%s", said);
    NoteItem(said);
}

void DrawBridgeBlock() {
    ImGui::TextColored(ImVec4(0.30f, 1.0f, 0.52f, 1.0f), "MIC SOURCE: GENERIC WASAPI FALLBACK");
    NoteItem("##BridgeBlock");
    ImGui::TextWrapped("%s -> Vocal Bus", micBridge.deviceName.c_str());
    ImGui::TextDisabled("ASIO output van giu nguyen. Native/pro ASIO mic khong bi thay doi.");
    if (Noted("REFRESH WINDOWS MIC", ImGui::Button("REFRESH WINDOWS MIC", ImVec2(185, 28)))) {
        hostRequests.requestedMicRefresh = true;
    }
    const std::vector<AudioEndpoint>& inputs = endpointLists.inputEndpoints;
    if (!inputs.empty()) {
        std::vector<const char*> names;
        for (const AudioEndpoint& e : inputs) names.push_back(e.name.c_str());
        int index = endpointLists.selectedInputIndex;
        if (ChoiceCombo("Windows Mic##GenericWasapiMic", index, names.data(), static_cast<int>(names.size()),
                        "Windows Mic")) {
            hostRequests.requestedBridgeInput = index;
        }
    }
    const uint32_t channels = micBridge.bridgeDeviceChannels.load();
    ImGui::TextDisabled("Native capture channels: %d", static_cast<int>(channels));
    const auto bar = [](const char* label, float peak) {
        ImGui::TextUnformatted(label);
        ImGui::ProgressBar(std::clamp(peak, 0.0f, 1.0f), ImVec2(-FLT_MIN, 15), "");
    };
    bar("CH1 / LEFT", micBridge.bridgePeakCh1.load());
    if (channels > 1) bar("CH2 / RIGHT", micBridge.bridgePeakCh2.load());
    // A single channel offers AUTO and CH1 only, and shows CH1 whatever is stored.
    int shown = channels > 1 ? std::clamp(micBridge.bridgeChannelMode.load(), 0, 2) : 1;
    if (ChoiceCombo("Nguon Mic##WasapiChannel", shown, kBridgeChannels, channels > 1 ? 3 : 2)) {
        ChooseBridgeChannel(channels > 1 ? shown : 1);
    }
    ImGui::TextColored(ImVec4(0.40f, 0.86f, 1.0f, 1.0f), "DIRECT MIC BRIDGE: ACTIVE");
    ImGui::TextDisabled("Beat: Brave -> VB-CABLE -> Tone Control -> Beat Bus (giu nguyen).");
    ImGui::TextDisabled("Bridge: %d samples | In: %llu | Out: %llu | Under: %llu",
                        static_cast<int>(engine.bridgeFillFrames.load()),
                        static_cast<unsigned long long>(engine.bridgeFramesCaptured.load()),
                        static_cast<unsigned long long>(engine.bridgeFramesConsumed.load()),
                        static_cast<unsigned long long>(engine.bridgeUnderruns.load()));
    ImGui::TextDisabled("Chi WASAPI mic fallback; Native/pro ASIO khong thay doi.");
}

void DrawAsioInputBlock() {
    const int32_t channels = engine.inputChannels.load();
    ImGui::TextDisabled("ASIO input dang mo: %d kenh", static_cast<int>(channels));
    if (channels == 1) {
        if (engine.micChannelMode.load() != 0) ChooseMicChannel(0);  // a mono input has only the first port
        ImGui::Text("Cong 1 (mono input)");
    } else if (channels >= 2) {
        int shown = std::clamp(engine.micChannelMode.load(), 0, 2);
        ImGui::SetNextItemWidth(-FLT_MIN);
        if (ChoiceCombo("##MicChannelCombo", shown, kAsioChannels, 3)) ChooseMicChannel(shown);
    } else {
        ImGui::TextColored(ImVec4(1.0f, 0.72f, 0.24f, 1.0f), "Driver hien tai khong cung cap input mic cho Sonavela.");
    }
}

void DrawMicInputPanel() {
    if (!PanelHeader("MIC INPUT  |  Chọn cổng micro đang sử dụng", &AppConfig::uiMicInputOpen)) return;
    if (engine.studioMode.load() == 1) {
        ImGui::TextColored(kAmber, "BEAT ONLY: ASIO INPUT = OFF");
        ImGui::TextWrapped(
            "Sonavela chi xu ly Beat/Tone Control va xuat qua soundcard. Khong can cam micro vao soundcard.");
        ImGui::Separator();
    }
    const bool bridged = engine.micBridgeEnabled.load() && engine.micBridgeRunning.load();
    const AsioDriverEntry* driver = CurrentDriver();
    const bool k10Lock = driver != nullptr && IsAsio4AllWithK10(driver->name);
    if (k10Lock) {
        ImGui::TextColored(ImVec4(1.0f, 0.78f, 0.30f, 1.0f), "K10 COMPATIBILITY OUTPUT DEVICE");
        ImGui::TextWrapped(
            "K10 duoc ho tro de PHAT AM THANH/BEAT. Neu chi can doi tone ra dan ngoai, chon STUDIO MODE = BEAT ONLY.");
        ImGui::TextDisabled("ASIO4ALL input da duoc khoa de tranh Peak do / nhieu / xung dot da xac minh khi test.");
        ImGui::TextDisabled(
            "Muon xu ly vocal Studio: dung soundcard co Native ASIO (vd. Focusrite) hoac ASIO Link Pro.");
        ImGui::Separator();
    }
    if (bridged && !k10Lock) {
        DrawBridgeBlock();
    } else {
        DrawAsioInputBlock();
    }
}

void DrawLatencyPanel(ShellState& shell) {
    if (!PanelHeader("LATENCY  |  Buffer nhỏ = trễ thấp, CPU cao hơn", &AppConfig::uiLatencyOpen)) return;
    if (shell.latencyChoice < 0) {
        const int32_t frames = appConfig.asioBufferFrames;
        shell.latencyChoice = frames == 64 ? 0 : frames == 256 ? 2 : 1;
    }
    int choice = shell.latencyChoice;
    ImGui::SetNextItemWidth(-FLT_MIN);
    if (ChoiceCombo("##BufferSizeCombo", choice, kBufferSizes, 3)) {
        shell.latencyChoice = choice;
        hostRequests.requestedBufferFrames = kBufferFrames[choice];
    }
}
}  // namespace

void DrawStudioModeSelector() {
    ImGui::PushStyleColor(ImGuiCol_ChildBg, ImVec4(0.075f, 0.105f, 0.135f, 1.0f));
    ImGui::PushStyleVar(ImGuiStyleVar_ChildRounding, 8.0f);
    ImGui::BeginChild("##StudioModeSelector", ImVec2(0, 76), true, ImGuiWindowFlags_NoScrollbar);
    ImGui::TextColored(kCyan, "STUDIO MODE");
    ImGui::SameLine();
    ImGui::TextDisabled("Mac dinh: VOCAL + BEAT");
    const float width = (ImGui::GetContentRegionAvail().x - ImGui::GetStyle().ItemSpacing.x) / 2;
    const int32_t mode = engine.studioMode.load();
    struct ModeButton {
        const char* label;
        int32_t mode;
        ImVec4 colour;
    };
    for (const ModeButton& b : {ModeButton{"VOCAL + BEAT", 0, ImVec4(0.14f, 0.52f, 0.38f, 1.0f)},
                                ModeButton{"BEAT ONLY", 1, ImVec4(0.64f, 0.42f, 0.12f, 1.0f)}}) {
        if (b.mode == 1) ImGui::SameLine();
        const bool current = mode == b.mode;
        if (current) ImGui::PushStyleColor(ImGuiCol_Button, b.colour);
        if (Noted(b.label, ImGui::Button(b.label, ImVec2(width, 30))) && !current) {
            hostRequests.requestedStudioMode = b.mode;
        }
        if (current) ImGui::PopStyleColor();
    }
    ImGui::EndChild();
    ImGui::PopStyleVar();
    ImGui::PopStyleColor();
    ImGui::Spacing();
}

void DrawBeatColumnTop(ShellState& shell) {
    ImGui::PushTextWrapPos(0.0f);
    SectionHeader("PLAYER / BEAT", "Beat, tone & master", kAmber);
    LevelMeter("Beat Peak", engine.beatPeak.load(std::memory_order_relaxed));
    ImGui::Spacing();
    ImGui::Separator();
    ImGui::PushItemWidth(SliderWidth({Param::BeatVolume, Param::MasterGlue, Param::MasterOutputDb}));
    ParamSlider(shell, Param::BeatVolume);
    ParamSlider(shell, Param::MasterGlue);
    ImGui::Spacing();
    ParamSlider(shell, Param::MasterOutputDb);
    ImGui::PopItemWidth();
    DrawToneCard(shell);
    ImGui::Spacing();
    ImGui::Spacing();
    DrawAudioDevicePanel(shell);
    DrawMicInputPanel();
    DrawLatencyPanel(shell);
    ImGui::PopTextWrapPos();
}
