// Recorded time signals saved as WAV files.
#pragma once

#include <string>
#include <vector>

// Sample format of a saved recording.
enum class eWavSample { ws_Float32, ws_PCM24 };

// Writes one channel per entry of `channels` (full scale +-1.0; all of the first one's length,
// shorter ones padded with 0) at `rate` Hz to a WAV file through libsndfile. PCM 24 clips
// values beyond full scale; float keeps them. The file appears whole or not at all (written
// to a temporary name, then renamed). False with the reason in `error`: no channels or no
// samples, a rate outside 1..768000 Hz, more than 64 channels, a file that cannot be written.
bool WriteRecordingWav(const std::string& path, const std::vector<std::vector<double>>& channels, int rate,
                       eWavSample format, std::string& error);
