// The music decoded into a min/max envelope.
#include "tools/studio/music_envelope.h"

#include "tools/common/vorbis_decoder.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {

MusicEnvelope envelope;
std::atomic<bool> ready{false};
std::atomic<bool> stopping{false};
std::thread decoder;

bool stopRequested() { return stopping; }

void decode(const std::string& path) {
  DecodedSound sound;
  std::string error;
  if (!decodeVorbis(path, &sound, &error, -1, stopRequested) && !error.empty()) {
    std::fprintf(stderr, "demo-studio: %s\n", error.c_str());
  }
  const long perBucket =
      std::max(1L, static_cast<long>(static_cast<double>(sound.rate) * kEnvelopeBucketSeconds));
  long inBucket = 0;
  float low = 1, high = -1;
  for (size_t f = 0; f < sound.left.size() && !stopping; ++f) {
    const float mix = (sound.left[f] + sound.right[f]) / 2;
    low = std::min(low, mix);
    high = std::max(high, mix);
    if (++inBucket == perBucket) {
      envelope.low.push_back(low);
      envelope.high.push_back(high);
      inBucket = 0;
      low = 1;
      high = -1;
    }
  }
  ready = true;
}

}  // namespace

void startMusicEnvelope(const std::string& path) {
  // Another file (the music of an edit) replaces the one decoded before.
  stopMusicEnvelope();
  envelope = MusicEnvelope{};
  ready = false;
  stopping = false;
  decoder = std::thread(decode, path);
}

const MusicEnvelope* musicEnvelope() { return ready ? &envelope : nullptr; }

void stopMusicEnvelope() {
  stopping = true;
  if (decoder.joinable()) decoder.join();
}
