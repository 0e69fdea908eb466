// Ogg Vorbis files from stereo float samples.
#pragma once

#include <string>
#include <vector>

struct StereoAudio {
  int rate = 44100;
  std::vector<float> left, right;  // -1..1, equal lengths
};

// Encodes at a fixed VBR quality with a fixed stream serial number, so the
// same audio always gives the same file. Returns false with a message naming
// the path in `error` on failure.
bool writeOggVorbis(const std::string& path, const StereoAudio& audio, float quality,
                    const std::string& title, std::string* error);
