#pragma once
// Takes cut short by a crash, a power cut or a kill: the samples reached the
// file but the header still announces what it held at its last update. The
// repair rewrites the header in place to announce the whole frames present;
// no sample is moved or dropped, so the old header can always be put back.

#include <cstdint>
#include <string>
#include <vector>

// True when the header of the take at path was rewritten; frames is then
// what it announces now. False with an empty reason when there was nothing
// to repair: the header already matches the file (frames is what it
// announces), the file is not one of the recorder's takes, or a take still
// writes it. False with the reason when a repair was needed but failed;
// the file is then as it was.
bool RepairCutTake(const std::string& path, uint64_t& frames, std::string& reason);

struct TakeRepair {
    std::string path;
    uint64_t frames = 0;  // announced now, when repaired
    bool repaired = false;
    std::string reason;  // why it could not be repaired
};

// Tries every .wav file directly in the folder, in name order, and lists
// those it repaired or could not repair. A missing folder has none.
std::vector<TakeRepair> RepairCutTakes(const std::string& folder);
