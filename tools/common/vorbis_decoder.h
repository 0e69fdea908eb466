// Ogg Vorbis files decoded into float samples: the one reader of the
// project's Ogg files (the studio's waveform, the benchmark's music offset,
// the tests).
#pragma once

#include "tools/common/ogg_vorbis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct DecodedSound {
  int rate = 0;
  int channels = 0;                // as the file has them
  std::vector<float> left, right;  // -1..1, equal lengths; a mono file's right repeats its left
};

// Decodes `path` from its start, the whole file or its first `maxFrames`
// frames (a negative count for all). A hole in the stream (a lost page) is
// skipped, as a player plays over it. False with `cannot decode "PATH":
// REASON` in `error`, `out` then holding what was decoded before the damage;
// or false with `error` empty when `stop` ended it.
bool decodeVorbis(const std::string& path, DecodedSound* out, std::string* error,
                  long maxFrames = -1, StopCheck stop = nullptr);

// The signed 16-bit sample a player sends to the sound device for `sample`:
// libvorbisfile's own conversion (scaled by 32768, rounded to nearest, clipped).
inline int16_t pcm16(float sample) {
  const long value = std::lrint(static_cast<double>(sample * 32768.f));
  return static_cast<int16_t>(std::clamp(value, -32768L, 32767L));
}
