#include "ui/setup_wizard.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <string>
#include <utility>
#include <vector>

#include "app/device_actions.h"
#include "app/notices.h"
#include "app/outside_world.h"
#include "app/setup_actions.h"
#include "devices/beat_capture.h"
#include "devices/endpoint_selection.h"
#include "devices/mic_bridge.h"
#include "devices/player_mode.h"
#include "devices/studio_host.h"
#include "engine/engine_params.h"
#include "persistence/app_config.h"
#include "ui/widgets/item_probe.h"
#include "ui/widgets/widgets.h"

namespace {
constexpr const char* kPopup = "Sonavela Setup Wizard";
constexpr const char* kCablePopup = "Tao VB-CABLE?##CreateCable";
constexpr int32_t kSteps = 6;
const ImVec4 kOkColour(0.3f, 1.0f, 0.52f, 1.0f);
const ImVec4 kMissingColour(1.0f, 0.72f, 0.24f, 1.0f);
const ImVec4 kHeading(0.55f, 0.82f, 1.0f, 1.0f);
const ImVec4 kK10Colour(1.0f, 0.78f, 0.3f, 1.0f);
const ImVec4 kHintColour(1.0f, 0.8f, 0.28f, 1.0f);
const char* const kMicInputs[] = {"Cong 1", "Cong 2", "Song Ca (Cong 1 + 2)"};
const char* const kBuffers[] = {"64 samples", "128 samples (khuyen dung)", "256 samples"};
constexpr int32_t kBufferFrames[] = {64, 128, 256};
const char* const kProfiles[] = {"3.5mm / HDMI - dong bo nhanh", "Bluetooth - on dinh"};

bool Button(const char* label, float width, float height) {
    return ColouredButton(label, ImVec2(width, height), ImVec4(), ImVec4());
}

void StatusRow(bool ok, const char* label, const std::string& status) {
    ImGui::TextColored(ok ? kOkColour : kMissingColour, ok ? "[OK]" : "[THIEU]");
    ImGui::SameLine();
    ImGui::TextUnformatted(label);
    NoteItem(label);
    if (status.empty()) return;
    ImGui::SameLine();
    ImGui::TextDisabled("- %s", status.c_str());
}

// Text the tests read by its words.
// Wrapped: the wizard is narrower than its longest lines.
void Say(const ImVec4& colour, const char* text) { NotedText(colour, text); }
void SayDim(const char* text) { Say(ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled), text); }
void SayWrapped(const char* text) {
    ImGui::TextWrapped("%s", text);
    NoteItem(text);
}

// The Studio drivers as the wizard sorts them: the sound server's devices and
// the generic names are the fallback, the routing tool is its own kind, the
// rest are the card's own.
struct DriverKinds {
    bool hasNative = false;
    bool hasGeneric = false;
    bool hasLinkPro = false;
    std::string firstNative;
};

DriverKinds SortDrivers() {
    DriverKinds kinds;
    for (const AsioDriverEntry& d : studioHost.asioDrivers) {
        if (d.generic || d.name.find("ASIO4ALL") != std::string::npos ||
            d.name.find("FL Studio ASIO") != std::string::npos) {
            kinds.hasGeneric = true;
        } else if (d.name.find("ASIO Link") != std::string::npos) {
            kinds.hasLinkPro = true;
        } else if (!kinds.hasNative) {
            kinds.hasNative = true;
            kinds.firstNative = d.name;
        }
    }
    return kinds;
}

// The cable made on the sound server after a confirmation; what happened stays in the window.
void CableButton(ShellState& shell, const char* label, float width) {
    if (!CableCanBeMade()) {
        if (Button(label, width, 32)) ShowInstallHelp(InstallItem::Cable);
        return;
    }
    if (Button(label, width, 32)) ImGui::OpenPopup(kCablePopup);
    if (!ImGui::BeginPopupModal(kCablePopup, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    ImGui::TextUnformatted("Sonavela se tao output ao \"CABLE Input (VB-Audio Virtual Cable)\"");
    ImGui::TextUnformatted("tren sound server (PulseAudio / PipeWire) roi mo lai capture beat.");
    if (Button("TAO CABLE", 150, 32)) {
        shell.wizard.cableDone = CreateVirtualCable(shell.wizard.cableSaid);
        ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (Button("HUY##CreateCable", 110, 32)) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

void CableOutcome(const ShellState& shell) {
    if (shell.wizard.cableSaid.empty()) return;
    Say(shell.wizard.cableDone ? kOkColour : kMissingColour, shell.wizard.cableSaid.c_str());
    if (!shell.wizard.cableDone) return;
    ImGui::PushTextWrapPos(0.0f);
    ImGui::TextDisabled("%s", KeepCableHint().c_str());
    ImGui::PopTextWrapPos();
}

void DrawSystemCheck(ShellState& shell) {
    const bool brave = IsBraveInstalled();
    const bool cable = beatCapture.beatCaptureReady.load();
    const bool k10 = HasK10Output();
    const DriverKinds kinds = SortDrivers();
    const bool studioReady = kinds.hasNative || kinds.hasLinkPro || (kinds.hasGeneric && !k10);
    ImGui::TextWrapped(
        "Sonavela uu tien Native ASIO cho Studio vocal. ASIO Link Pro duoc phep chon khi can route Sonavela sang "
        "OBS/streaming. K10 duoc ho tro theo che do Compatibility Output, khong dung K10 Mic trong Studio.");
    ImGui::Spacing();
    ImGui::TextColored(kHeading, "THANH PHAN CHINH");
    StatusRow(brave, "Brave Browser", brave ? "san sang" : "chua tim thay");
    StatusRow(cable, "VB-CABLE", cable ? "CABLE da san sang" : "chua tim thay CABLE");
    if (k10) StatusRow(true, "K10 Compatibility Output", "phat hien - output/beat OK, Studio Mic khong ho tro");
    const bool fallbackRows = kinds.hasNative || kinds.hasGeneric;
    if (kinds.hasNative) {
        StatusRow(true, "Native ASIO", kinds.firstNative);
        Say(ImVec4(0.48f, 1.0f, 0.62f, 1.0f), "ASIO4ALL: KHONG CAN - da co Native ASIO.");
    } else if (kinds.hasGeneric && !k10) {
        StatusRow(true, "ASIO4ALL fallback", "san sang - generic fallback");
        SayDim("Khong tim thay Native ASIO. Sonavela co the thu ASIO4ALL cho Studio.");
    } else if (kinds.hasGeneric) {
        StatusRow(true, "ASIO4ALL + K10", "OUTPUT-ONLY compatibility");
        Say(kK10Colour, "K10 Mic Studio: KHONG HO TRO. Hay dung K10 lam output/Mini Player.");
    } else if (kinds.hasLinkPro) {
        StatusRow(true, "ASIO Link Pro", "routing option san sang");
        SayDim("Hay cau hinh hardware ASIO ben trong ASIO Link Pro truoc khi dung Studio.");
    } else {
        StatusRow(false, "ASIO cho Studio", "chua co Native ASIO / ASIO4ALL / ASIO Link Pro");
        Say(kMissingColour,
            "Neu soundcard co driver ASIO chinh hang, hay cai driver cua nha san xuat. Neu khong co, co the cai "
            "ASIO4ALL.");
    }
    if (fallbackRows && kinds.hasLinkPro) StatusRow(true, "ASIO Link Pro", "co the chon de route Sonavela -> OBS");

    ImGui::Spacing();
    ImGui::Separator();
    ImGui::TextColored(kHeading, "CAI DAT / KIEM TRA");
    if (Button("REFRESH KIEM TRA", 180, 32) && !cable) ReopenBeatCapture();
    if (!brave) {
        ImGui::SameLine();
        if (Button("CAI BRAVE", 120, 32)) {
            ShowInstallHelp(InstallItem::Browser);
        }
    }
    if (!cable) {
        ImGui::SameLine();
        CableButton(shell, "CAI VB-CABLE", 140);
    }
    if (!kinds.hasNative && !kinds.hasGeneric && !k10) {
        // The buttons before it end their line (the cable's confirmation is drawn after its button).
        if (brave && cable) ImGui::SameLine();
        if (Button("CAI ASIO4ALL (FALLBACK)", 210, 32)) {
            ShowInstallHelp(InstallItem::StudioDriver);
        }
    }
    CableOutcome(shell);

    ImGui::Spacing();
    ImGui::Separator();
    ImGui::TextColored(kHeading, "LIVESTREAM / OBS / TIKTOK (TUY CHON)");
    ImGui::TextWrapped(
        "ASIO Link Pro khong bat buoc de dung Sonavela. Neu ban muon livestream va dua am thanh Sonavela sang OBS / "
        "TikTok Live, hay cai ASIO Link Pro.");
    if (kinds.hasLinkPro) {
        Say(kOkColour, "ASIO Link Pro: DA PHAT HIEN TREN MAY");
    } else {
        SayDim("Chua phat hien ASIO Link Pro. Ban co the bo qua neu khong livestream.");
        if (Noted("TAI ASIO LINK PRO (LIVESTREAM)", ImGui::Button("TAI ASIO LINK PRO (LIVESTREAM)", ImVec2(280, 34)))) {
            ShowInstallHelp(InstallItem::Livestream);
        }
        SayDim("Link du phong do Sonavela cung cap vi trang tai chinh thuc cu khong con hoat dong.");
    }
    ImGui::Spacing();
    if (studioReady) {
        Say(kOkColour, "STUDIO ASIO: SAN SANG");
    } else {
        SayDim("Mini Player van co the dung WASAPI 3.5mm / Bluetooth / HDMI ngay ca khi Studio chua co ASIO.");
    }
    SayDim(
        "Neu vua cai driver am thanh, hay khoi dong lai Sonavela; mot so driver co the yeu cau khoi dong lai "
        "Windows.");
}

void SayLimits() {
    const std::string limits = StudioDriverLimitsNote();
    if (!limits.empty()) SayDim(limits.c_str());
}

void DrawSoundCard() {
    SayDim("Studio vocal: uu tien Native ASIO / ASIO Link Pro. K10 = Compatibility Output only; K10 Mic khong ho tro.");
    const AsioDriverEntry* driver = CurrentAsioDriver();
    if (driver == nullptr) {
        SayWrapped("May nay khong co ASIO. Co the bo qua buoc nay va dung Mini Player 3.5mm / Bluetooth / HDMI.");
        SayLimits();
        return;
    }
    std::vector<const char*> names;
    for (const AsioDriverEntry& d : studioHost.asioDrivers) names.push_back(d.name.c_str());
    int index = studioHost.currentDriverIndex;
    if (ChoiceCombo("Soundcard", index, names.data(), static_cast<int>(names.size()))) ChooseWizardDriver(index);
    SayDim("Sonavela se thu ket noi thiet bi vua chon va tu quay lai thiet bi cu neu driver loi.");
    SayLimits();
}

void DrawMicAndBuffer() {
    const bool bridge = engine.micBridgeEnabled.load() && engine.micBridgeRunning.load();
    const AsioDriverEntry* driver = CurrentAsioDriver();
    const bool k10Lock = driver != nullptr && IsAsio4AllWithK10(driver->name);
    const int32_t channels = bridge ? 1 : engine.inputChannels.load();
    if (k10Lock) {
        Say(kK10Colour, "K10 COMPATIBILITY OUTPUT ONLY");
        ImGui::TextWrapped("Bo qua TEST MIC K10. Sonavela khong dung K10 microphone cho Studio vocal.");
        ImGui::TextDisabled("De hat qua Studio, hay chon soundcard Native ASIO / ASIO Link Pro.");
    } else if (bridge) {
        ImGui::TextColored(kOkColour, "Windows Mic (WASAPI): %s", micBridge.deviceName.c_str());
    } else {
        ImGui::TextDisabled("Driver dang cung cap %d input channel(s).", static_cast<int>(channels));
    }
    if (channels <= 0) {
        Say(kMissingColour, "Chua co input mic. Kiem tra ASIO driver/control panel roi bam KHOI PHUC AM THANH.");
    } else if (channels == 1) {
        if (!bridge) ChooseWizardMicChannel(0);  // a mono input has only the first port
        SayWrapped(bridge ? "Mic Input: Windows WASAPI mono fallback" : "Mic Input: Cong 1 (mono)");
    } else {
        int shown = std::clamp(engine.micChannelMode.load(), 0, 2);
        if (ChoiceCombo("Mic Input", shown, kMicInputs, 3)) ChooseWizardMicChannel(shown);
    }
    const int32_t frames = appConfig.asioBufferFrames;
    int buffer = frames == 64 ? 0 : frames == 256 ? 2 : 1;
    if (ChoiceCombo("Buffer", buffer, kBuffers, 3)) ChooseWizardBuffer(kBufferFrames[buffer]);
    ImGui::Spacing();
    ImGui::TextUnformatted("TEST MIC - noi/hat thu vao micro:");
    const float peak = std::clamp(engine.micPeak.load(std::memory_order_relaxed), 0.0f, 1.0f);
    const char* said = peak > 0.015f ? "CO TIN HIEU" : "CHO TIN HIEU...";
    ImGui::ProgressBar(peak, ImVec2(-FLT_MIN, 22), said);
    NoteItem(said);
    ImGui::TextDisabled("Meter doc truc tiep cong mic, khong phu thuoc Am luong Mic / Vocal Preset.");
}

void DrawBeatTest(ShellState& shell) {
    SetupWizardView& w = shell.wizard;
    ImGui::TextWrapped(
        "Brave chi xuat hien trong Windows App Volume sau khi Brave da mo va tao phien am thanh. Vi vay hay mo "
        "YouTube, "
        "BAM PLAY mot video karaoke truoc, sau do moi mo App Volume de chon CABLE Input.");
    ImGui::Spacing();
    const bool cable = beatCapture.beatCaptureReady.load();
    if (cable) {
        Say(kOkColour, "VB-CABLE: SAN SANG");
    } else {
        Say(kMissingColour, "CHUA TIM THAY VB-CABLE.");
        if (Button("REFRESH CABLE", 150, 32)) ReopenBeatCapture();
        ImGui::SameLine();
        CableButton(shell, "TAO VB-CABLE", 180);
    }
    CableOutcome(shell);
    ImGui::TextDisabled("BUOC A");
    if (Button("MO BRAVE / YOUTUBE KARAOKE", 245, 34)) {
        OpenInBrave("https://www.youtube.com/results?search_query=karaoke+beat");
        w.wizardBraveOpened = true;
    }
    ImGui::SameLine();
    ImGui::TextWrapped("Mo mot video va bam PLAY de Windows nhan Brave la ung dung dang phat am thanh.");
    ImGui::Spacing();
    ImGui::TextDisabled("BUOC B");
    ImGui::BeginDisabled(!w.wizardBraveOpened);
    if (Button("CHUYEN BRAVE VAO CABLE", 230, 34)) w.routeDone = RouteBrowserToCable(w.routeSaid);
    ImGui::SameLine();
    if (Button("MO WINDOWS APP VOLUME", 230, 34)) OpenVolumeMixerSettings();
    ImGui::EndDisabled();
    ImGui::TextWrapped("Chon Output cua Brave Browser = CABLE Input (VB-Audio).");
    if (!w.routeSaid.empty()) {
        ImGui::PushTextWrapPos(0.0f);
        Say(w.routeDone ? kOkColour : kMissingColour, w.routeSaid.c_str());
        ImGui::PopTextWrapPos();
    }
    if (!w.wizardBraveOpened) Say(kHintColour, "Mo Brave/YouTube truoc de Brave xuat hien trong danh sach App Volume.");
    ImGui::Spacing();

    const float peak = std::clamp(engine.cablePeak.load(std::memory_order_relaxed), 0.0f, 1.0f);
    if (cable && peak > 0.008f) w.wizardBeatConfirmed = true;
    ImGui::TextUnformatted("TEST BEAT - phat video/beat trong Brave:");
    if (w.wizardBeatConfirmed) {
        ImGui::PushStyleColor(ImGuiCol_PlotHistogram, ImVec4(0.12f, 0.86f, 0.42f, 1.0f));
        ImGui::ProgressBar(std::max(peak, 0.12f), ImVec2(-FLT_MIN, 26), "[OK] CO TIN HIEU BEAT");
        ImGui::PopStyleColor();
        Say(kOkColour, "BRAVE -> VB-CABLE: DA KET NOI");
    } else {
        ImGui::ProgressBar(peak, ImVec2(-FLT_MIN, 26), "CHO TIN HIEU BEAT...");
        if (cable) Say(kHintColour, "Chua xac nhan beat. Neu video dang phat: kiem tra Brave Output = CABLE Input.");
    }
    ImGui::TextDisabled("Meter doc RAW CABLE, khong phu thuoc Am luong Beat / Master / Tone.");
    if (!w.wizardBeatConfirmed) {
        ImGui::TextDisabled("Van co the TIEP TUC neu muon cau hinh beat sau; Sonavela khong khoa cung buoc nay.");
    }
}

void DrawMiniOutput(ShellState& shell) {
    ImGui::TextWrapped(
        "Mini Player chi phat beat karaoke da tang/giam tone. Co the chon 3.5mm, Bluetooth, HDMI hoac output Windows "
        "khac.");
    // Listed once each time the step is shown, before the list is drawn: not a
    // sound-server round trip every frame.
    if (!std::exchange(shell.wizard.outputsListed, true)) RefreshOutputs();
    std::vector<const char*> names;
    for (const AudioEndpoint& e : endpointLists.outputEndpoints) names.push_back(e.name.c_str());
    int index = endpointLists.selectedOutputIndex;
    if (ChoiceCombo("Mini Output", index, names.data(), static_cast<int>(names.size()), "Windows Default")) {
        ChooseWizardMiniOutput(index);
    }
    int profile = std::clamp(appConfig.miniOutputMode, 0, 1);
    if (ChoiceCombo("Profile", profile, kProfiles, 2)) ChooseWizardMiniProfile(profile);
}

void DrawSummary() {
    Say(ImVec4(0.35f, 1.0f, 0.55f, 1.0f), "Sonavela da san sang.");
    const auto bullet = [](const std::string& text) {
        ImGui::BulletText("%s", text.c_str());
        NoteItem(text.c_str());
    };
    bullet(std::string("Brave: ") + (IsBraveInstalled() ? "OK" : "chua tim thay"));
    bullet(std::string("VB-CABLE: ") + (beatCapture.beatCaptureReady.load() ? "OK" : "chua san sang"));
    const AsioDriverEntry* driver = CurrentAsioDriver();
    bullet("Studio: " + (studioHost.asioAvailable && driver != nullptr
                             ? driver->name
                             : std::string("Studio ASIO: chua co soundcard")));
    bullet("Mic mode: " + std::to_string(engine.micChannelMode.load() + 1));
    bullet("Buffer: " + std::to_string(appConfig.asioBufferFrames) + " samples");
    if (const AudioEndpoint* output = SelectedOutput()) bullet("Mini Output: " + output->name);
    ImGui::TextWrapped("Sau nay co the vao SETTINGS & RECOVERY de chay lai Wizard hoac khoi phuc mac dinh.");
}

void DrawStep(ShellState& shell) {
    static const char* const titles[kSteps] = {"0. KIEM TRA HE THONG / SMART ASIO DETECTION",
                                               "1. CHON SOUNDCARD / ASIO",
                                               "2. MIC INPUT + BUFFER + TEST MIC",
                                               "3. TEST BEAT / CABLE INPUT",
                                               "4. CHON MINI PLAYER OUTPUT",
                                               "5. HOAN TAT"};
    const int32_t step = std::clamp(shell.wizard.setupWizardStep, 0, kSteps - 1);
    ImGui::TextColored(kHeading, "%s", titles[step]);
    NoteItem(titles[step]);
    ImGui::Spacing();
    if (step != 4) shell.wizard.outputsListed = false;
    switch (step) {
        case 0:
            DrawSystemCheck(shell);
            break;
        case 1:
            DrawSoundCard();
            break;
        case 2:
            DrawMicAndBuffer();
            break;
        case 3:
            DrawBeatTest(shell);
            break;
        case 4:
            DrawMiniOutput(shell);
            break;
        default:
            DrawSummary();
            break;
    }
}

void DrawFooter(ShellState& shell) {
    int32_t& step = shell.wizard.setupWizardStep;
    ImGui::Separator();
    if (step > 0) {
        if (Button("< QUAY LAI", 130, 32)) --step;
        ImGui::SameLine();
    }
    if (step >= kSteps - 1) {
        if (Button("HOAN TAT", 160, 32)) {
            FinishSetup(true);
            ImGui::CloseCurrentPopup();
        }
    } else if (Button("TIEP TUC >", 150, 32)) {
        ++step;
    }
    ImGui::SameLine();
    if (Button("BO QUA", 110, 32)) {
        FinishSetup(false);
        ImGui::CloseCurrentPopup();
    }
}
}  // namespace

void DrawSetupWizard(ShellState& shell) {
    if (shell.setupWizardPending) {
        ImGui::OpenPopup(kPopup);
        shell.setupWizardPending = false;
        shell.wizard.outputsListed = false;
    }
    ImGui::SetNextWindowSize(ImVec2(720, 640), ImGuiCond_Appearing);
    if (!ImGui::BeginPopupModal(kPopup, nullptr, ImGuiWindowFlags_NoResize)) return;
    NoteItem(kPopup);
    ImGui::TextColored(ImVec4(0.25f, 0.86f, 1.0f, 1.0f), "SONAVELA - THIET LAP LAN DAU");
    ImGui::Separator();
    const int32_t step = shell.wizard.setupWizardStep;
    ImGui::Text("Buoc %d / %d", static_cast<int>(step + 1), static_cast<int>(kSteps));
    ImGui::ProgressBar(static_cast<float>(step + 1) / kSteps, ImVec2(-FLT_MIN, 8), "");
    ImGui::Spacing();
    ImGui::BeginChild("##WizardContent", ImVec2(0, -58), false);
    DrawStep(shell);
    ImGui::EndChild();
    DrawFooter(shell);
    ImGui::EndPopup();
}
