// The music's waveform for the studio's timeline: the Ogg decoded once, on a
// thread of its own, into the lowest and highest sample of every 10 ms.
#pragma once

#include <string>
#include <vector>

constexpr double kEnvelopeBucketSeconds = 0.01;

struct MusicEnvelope {
  std::vector<float> low, high;  // per bucket, the mix of both channels in -1 .. 1
};

// Starts decoding `path`, in place of any file decoded before; a file that
// cannot be decoded gives one line on stderr and the envelope of what was
// decoded before the damage (none for a file that is not Ogg Vorbis).
void startMusicEnvelope(const std::string& path);

// The finished envelope, or nullptr while it is still being decoded.
const MusicEnvelope* musicEnvelope();

// Stops the decoding (if still running) and waits for it.
void stopMusicEnvelope();
