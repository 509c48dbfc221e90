// The beat's own controls: apart from the others, so that what uses only the
// sound's controls (the offline renderer) does not pull in the beat pump.

#include "app/controls.h"
#include "devices/beat_pump.h"
#include "engine/engine_params.h"

void ToggleBeatDim(ShellState& shell) {
    const float current = engine.beatVolume.load();
    if (!shell.beatDimmed) {
        shell.beatVolumeBeforeDuck = current > 0.05f ? current : 0.32f;
    }
    shell.beatDimmed = !shell.beatDimmed;
    const float volume = shell.beatDimmed ? shell.beatVolumeBeforeDuck * 0.22f : shell.beatVolumeBeforeDuck;
    shell.sliders[Param::BeatVolume] = ApplyParam(Param::BeatVolume, volume * 100.0f);
}

float StepBeatTone(ShellState& shell, float semitones) {
    shell.toneSemitones = RequestBeatTone(shell.toneSemitones + semitones);
    return shell.toneSemitones;
}

float ResetBeatTone(ShellState& shell) {
    shell.toneSemitones = RequestBeatTone(0.0f);
    return shell.toneSemitones;
}
