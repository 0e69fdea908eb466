// Decodes the music with libvorbisfile into a min/max envelope.
#include "tools/studio/music_envelope.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {

MusicEnvelope envelope;
std::atomic<bool> ready{false};
std::atomic<bool> stopping{false};
std::thread decoder;

void decode(const std::string& path) {
  OggVorbis_File ogg;
  if (ov_fopen(path.c_str(), &ogg) != 0) {
    std::fprintf(stderr, "demo-studio: cannot decode \"%s\": not an Ogg Vorbis file\n",
                 path.c_str());
    ready = true;
    return;
  }
  const vorbis_info* info = ov_info(&ogg, -1);
  const long perBucket =
      std::max(1L, static_cast<long>(static_cast<double>(info->rate) * kEnvelopeBucketSeconds));
  const int channels = info->channels;
  long inBucket = 0;
  float low = 1, high = -1;
  float** pcm = nullptr;
  int section = 0;
  while (!stopping) {
    const long frames = ov_read_float(&ogg, &pcm, 4096, &section);
    // A hole (a damaged page) is skipped; the end or an error stops.
    if (frames == OV_HOLE) continue;
    if (frames <= 0) break;
    for (long f = 0; f < frames; ++f) {
      float mix = 0;
      for (int c = 0; c < channels; ++c) mix += pcm[c][f];
      mix /= static_cast<float>(channels);
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
  }
  ov_clear(&ogg);
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
