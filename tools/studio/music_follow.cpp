// The studio's music for an edited timeline: one worker at a time, its
// files numbered in a folder that the studio makes and removes.
#include "tools/studio/music_follow.h"

#include "platform/output_file.h"
#include "tools/common/music/music.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Follow {
  std::mutex lock;
  std::thread worker;
  bool busy = false;
  std::optional<Timeline> next;  // asked for while busy
  Clock::time_point nextAsked;
  std::string made;  // finished, not yet taken
  Clock::time_point madeAsked;
  double madeCpu = 0;              // its CPU time, which a busy machine hardly changes
  std::string folder;              // made on first use
  std::vector<std::string> files;  // every file written, to remove at the end
  int count = 0;
} follow;

double threadCpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void make(Timeline t, std::string path, Clock::time_point asked) {
  std::string error;
  const double cpu = threadCpuSeconds();
  const bool ok = music::writeSoundtrack(path, t, &error);
  const double spent = threadCpuSeconds() - cpu;
  if (!ok)
    std::fprintf(stderr, "demo-studio: cannot make the music of the edit: %s\n", error.c_str());
  std::lock_guard<std::mutex> hold(follow.lock);
  if (ok) {
    follow.made = path;
    follow.madeAsked = asked;
    follow.madeCpu = spent;
  }
  follow.busy = false;
}

// Starts the worker on `t`; the lock is held.
void start(const Timeline& t, Clock::time_point asked) {
  if (follow.folder.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/demo-studio-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("demo-studio: cannot make a folder for the music of the edits");
      return;
    }
    follow.folder = pattern;
  }
  const std::string path = follow.folder + "/music-" + std::to_string(++follow.count) + ".ogg";
  follow.files.push_back(path);
  if (follow.worker.joinable()) follow.worker.join();
  follow.busy = true;
  follow.worker = std::thread(make, t, path, asked);
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
    // The edits went on while the last music was made: make it again.
    const Timeline t = *follow.next;
    follow.next.reset();
    follow.made.clear();
    start(t, follow.nextAsked);
    return false;
  }
  if (follow.made.empty() || follow.busy) return false;
  *path = follow.made;
  *secondsSinceRequest = std::chrono::duration<double>(Clock::now() - follow.madeAsked).count();
  *cpuSeconds = follow.madeCpu;
  follow.made.clear();
  return true;
}

void stopMusicFollow() {
  if (follow.worker.joinable()) follow.worker.join();
  for (const std::string& f : follow.files) removeIfRegularFile(f);
  if (!follow.folder.empty()) rmdir(follow.folder.c_str());
}
