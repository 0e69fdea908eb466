// The studio's music for an edited timeline: one worker at a time, its
// files numbered in a folder of the studio's that keeps only the music
// playing and the one being made.
#include "tools/studio/music_follow.h"

#include "tools/common/music/music.h"
#include "tools/studio/scratch_folder.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Follow {
  std::mutex lock;
  std::thread worker;
  bool busy = false;
  bool ended = false;            // the folder is gone: a late worker stays quiet
  std::optional<Timeline> next;  // asked for while busy
  Clock::time_point nextAsked;
  std::string made;  // finished, not yet taken (a name in the folder)
  Clock::time_point madeAsked;
  double madeCpu = 0;   // its CPU time, which a busy machine hardly changes
  std::string playing;  // the name of the music taken last
  std::string folder;   // made on first use
  int count = 0;
} follow;

double threadCpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void make(Timeline t, std::string name, Clock::time_point asked) {
  std::string error;
  const double cpu = threadCpuSeconds();
  const bool ok = music::writeSoundtrack(follow.folder + "/" + name, t, &error);
  const double spent = threadCpuSeconds() - cpu;
  std::lock_guard<std::mutex> hold(follow.lock);
  if (follow.ended) return;
  if (!ok)
    std::fprintf(stderr, "demo-studio: cannot make the music of the edit: %s\n", error.c_str());
  if (ok) {
    follow.made = name;
    follow.madeAsked = asked;
    follow.madeCpu = spent;
  }
  follow.busy = false;
}

// Starts the worker on `t`; the lock is held.
void start(const Timeline& t, Clock::time_point asked) {
  std::string error;
  if (follow.folder.empty() && !makeScratchFolder(temporaryParent(), &follow.folder, &error)) {
    std::fprintf(stderr, "demo-studio: no music for the edits: %s\n", error.c_str());
    return;
  }
  const std::string name = "music-" + std::to_string(++follow.count) + ".ogg";
  if (!recordScratchFile(follow.folder, name, &error)) {
    std::fprintf(stderr, "demo-studio: no music for the edit: %s\n", error.c_str());
    return;
  }
  if (follow.worker.joinable()) follow.worker.join();
  follow.busy = true;
  follow.worker = std::thread(make, t, name, asked);
}

}  // namespace

void requestMusic(const Timeline& t) {
  std::lock_guard<std::mutex> hold(follow.lock);
  if (follow.busy) {
    follow.next = t;
    follow.nextAsked = Clock::now();
  } else {
    start(t, Clock::now());
  }
}

bool takeMadeMusic(std::string* path, double* secondsSinceRequest, double* cpuSeconds) {
  std::lock_guard<std::mutex> hold(follow.lock);
  if (!follow.busy && follow.next) {
    // The edits went on while the last music was made: that one is never
    // played, and the music is made again.
    const Timeline t = *follow.next;
    follow.next.reset();
    if (!follow.made.empty()) removeScratchFile(follow.folder, follow.made);
    follow.made.clear();
    start(t, follow.nextAsked);
    return false;
  }
  if (follow.made.empty() || follow.busy) return false;
  // The stream playing the last one has it open; on Linux it plays on
  // after the name is gone, until the new one takes its place.
  if (!follow.playing.empty()) removeScratchFile(follow.folder, follow.playing);
  follow.playing = follow.made;
  *path = follow.folder + "/" + follow.made;
  *secondsSinceRequest = std::chrono::duration<double>(Clock::now() - follow.madeAsked).count();
  *cpuSeconds = follow.madeCpu;
  follow.made.clear();
  return true;
}

bool endMusicFollow() {
  std::unique_lock<std::mutex> hold(follow.lock);
  follow.ended = true;
  const bool busy = follow.busy;
  if (!follow.folder.empty()) removeScratchFolder(follow.folder, getpid());
  hold.unlock();
  // A worker still composing is left to the process's end, which never waits for it.
  if (busy) {
    follow.worker.detach();
  } else if (follow.worker.joinable()) {
    follow.worker.join();
  }
  return busy;
}
