// The wave format records of a module's device: what it reports, what it takes from the program.
#pragma once

#include <soundDLLTypes.h>

#include <string>

// Fills w for the device `name` (cut to fit): WAVE_FORMAT_EXTENSIBLE with `channels` channels
// at `rate` Hz, integer PCM of 16 or 24 bits or 32-bit float (bits = 32), two buffers and
// latencyMs ms of latency.
void soundFillWaveFormat(Twfs& w, const std::u16string& name, int channels, int rate, int bits,
                         int latencyMs);

// Takes the program's channel flags and DC offsets from wfs into own; the rate and the format
// stay the module's business.
void soundTakeChannelFlags(Twfs& own, const Twfs& wfs);
