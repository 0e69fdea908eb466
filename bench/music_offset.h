// The picture-to-music offset as the sound device receives it: SDL's disk
// audio driver writes every mixed block to a file, and the music found in
// that file is set against the demo time at which it was written.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Watches the disk driver's file from another thread and logs its size at
// every change with the demo time (SDL's ticks) it was seen at. Start it
// before the audio device opens.
struct DiskWrite {
  unsigned ticks;
  long bytes;
};
class DiskAudioWatch {
 public:
  explicit DiskAudioWatch(std::string path);
  ~DiskAudioWatch();
  DiskAudioWatch(const DiskAudioWatch&) = delete;
  DiskAudioWatch& operator=(const DiskAudioWatch&) = delete;

  // Stops watching and returns the log.
  std::vector<DiskWrite> stop();

 private:
  void watch();
  std::string path_;
  std::atomic<bool> stopping_{false};
  std::vector<DiskWrite> writes_;
  std::thread thread_;
};

// Finds which moment of `musicPath` (Ogg Vorbis) the first audible block of
// the driver's file `devicePath` (signed 16-bit stereo at 44.1 kHz) is, by
// cross-correlating it with the decoded music, and returns the demo time at
// which the driver wrote that block minus that moment, in ms: positive when
// the music lags the picture. The driver writes through stdio, whose buffer
// holds one block: every other block reaches the file together with the
// next, so the first block whose write is seen on its own in `writes` is
// the one measured. False with the reason in `why`.
// `moment` (optional) receives the moment of the music in the first audible
// block (the one it starts in, when the music is audible from its start), in
// seconds.
bool measureMusicOffset(const std::string& devicePath, const std::string& musicPath,
                        const std::vector<DiskWrite>& writes, double* offsetMs, std::string* why,
                        double* moment = nullptr);
