#pragma once
// Start-up's reading of the settings, the personal presets and the song
// library, and what the user is told when one of them could not be read
// whole or held lines this version does not know.

// Loads the config, the user presets and the song library, in that order,
// and queues one notice for all the files that need one.
void LoadKeptFiles();
