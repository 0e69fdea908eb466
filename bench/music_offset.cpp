// The picture-to-music offset from the disk audio driver's output.
#include "bench/music_offset.h"

#include "platform/sound.h"
#include "tools/common/vorbis_decoder.h"

#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>

DiskAudioWatch::DiskAudioWatch(std::string path)
    : path_(std::move(path)), thread_([this] { watch(); }) {}

DiskAudioWatch::~DiskAudioWatch() { stop(); }

void DiskAudioWatch::watch() {
  long last = 0;
  while (!stopping_) {
    struct stat st;
    if (stat(path_.c_str(), &st) == 0 && st.st_size != last) {
      last = st.st_size;
      writes_.push_back({SDL_GetTicks(), last});
    }
    usleep(200);
  }
}

std::vector<DiskWrite> DiskAudioWatch::stop() {
  if (thread_.joinable()) {
    stopping_ = true;
    thread_.join();
  }
  return writes_;
}

namespace {

// Left plus right of 16-bit stereo frames.
std::vector<float> monoOf(const int16_t* samples, size_t frames) {
  std::vector<float> mono(frames);
  for (size_t i = 0; i < frames; ++i) {
    mono[i] = static_cast<float>(samples[2 * i]) + static_cast<float>(samples[2 * i + 1]);
  }
  return mono;
}

// The music's first `seconds`, left plus right of the 16-bit samples a
// player sends to the device.
bool decodeMusic(const std::string& path, double seconds, std::vector<float>* mono,
                 std::string* why) {
  DecodedSound sound;
  if (!decodeVorbis(path, &sound, why, static_cast<long>(seconds * kSoundRate))) return false;
  mono->resize(sound.left.size());
  for (size_t i = 0; i < mono->size(); ++i) {
    (*mono)[i] =
        static_cast<float>(pcm16(sound.left[i])) + static_cast<float>(pcm16(sound.right[i]));
  }
  return true;
}

}  // namespace

bool measureMusicOffset(const std::string& devicePath, const std::string& musicPath,
                        const std::vector<DiskWrite>& writes, double* offsetMs, std::string* why,
                        double* moment) {
  std::ifstream in(devicePath, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  const std::vector<float> device =
      monoOf(reinterpret_cast<const int16_t*>(bytes.data()), bytes.size() / 4);
  size_t audible = 0;
  while (audible < device.size() && std::fabs(device[audible]) < 64) ++audible;
  // The first block from the one that turns audible whose write was seen alone.
  const long blockBytes = kSoundBufferFrames * 4;
  double outputMs = -1;
  size_t first = audible / kSoundBufferFrames * kSoundBufferFrames;
  for (; outputMs < 0 && first < device.size(); first += kSoundBufferFrames) {
    const long end = static_cast<long>(first) * 4 + blockBytes;
    for (const DiskWrite& w : writes) {
      if (w.bytes < end) continue;
      if (w.bytes == end) outputMs = w.ticks;
      break;
    }
    if (outputMs >= 0) break;
  }
  const size_t window = 4096;
  if (outputMs < 0 || first + window > device.size()) {
    *why = "the device received no music";
    return false;
  }
  // The music's moment lies between its start and a few seconds past the
  // demo time of the output.
  std::vector<float> music;
  if (!decodeMusic(musicPath, outputMs / 1000 + 5, &music, why)) return false;
  if (music.size() < window) {
    *why = "\"" + musicPath + "\" is too short";
    return false;
  }
  const float* w = &device[first];
  double wNorm = 0;
  for (size_t i = 0; i < window; ++i) wNorm += double(w[i]) * w[i];
  double segment = 0;  // the sum of squares of music[lag, lag + window)
  for (size_t i = 0; i < window; ++i) segment += double(music[i]) * music[i];
  double best = -1;
  size_t bestLag = 0;
  for (size_t lag = 0; lag + window <= music.size(); ++lag) {
    if (lag > 0) {
      segment += double(music[lag + window - 1]) * music[lag + window - 1] -
                 double(music[lag - 1]) * music[lag - 1];
    }
    if (segment <= 0) continue;
    double dot = 0;
    for (size_t i = 0; i < window; ++i) dot += double(w[i]) * music[lag + i];
    const double score = dot / std::sqrt(wNorm * segment);
    if (score > best) {
      best = score;
      bestLag = lag;
    }
  }
  if (best < 0.9) {
    char text[96];
    std::snprintf(text, sizeof text, "the output matches no moment of the music (best %.2f)", best);
    *why = text;
    return false;
  }
  *offsetMs = outputMs - 1000.0 * static_cast<double>(bestLag) / kSoundRate;
  const size_t firstAudibleBlock = audible / kSoundBufferFrames * kSoundBufferFrames;
  if (moment)
    *moment = static_cast<double>(bestLag) - static_cast<double>(first - firstAudibleBlock);
  if (moment) *moment /= kSoundRate;
  return true;
}
