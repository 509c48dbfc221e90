#pragma once
// The Studio stream's block function, in the RtAudio callback form:
// 48000 Hz float, two interleaved outputs, inputChannels interleaved inputs
// (input may be null). Always returns 0.

int StudioCallback(void* output, void* input, unsigned int nFrames, double streamTime, unsigned int status,
                   void* userData);
