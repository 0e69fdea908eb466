// A --timeline video's soundtrack, encoded beside the video before its frames.
#include "tools/capture/composed_music.h"

#include "presentation/timeline.h"
#include "tools/capture/capture_status.h"
#include "tools/common/music/music.h"
#include "tools/common/stop_signals.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

bool stopRecorded() { return stopSignal() != 0; }

}  // namespace

int composeMusic(const std::string& video, OutputFile* music, std::string* error) {
  const int fd = beginOutput(video, ".ogg", false, music, error);
  if (fd < 0) return 1;
  std::FILE* file = fdopen(fd, "wb");
  if (!file) {
    *error = "cannot write the music beside \"" + video + "\": " + std::strerror(errno);
    close(fd);
    abandonOutput(music);
    return 1;
  }
  errno = 0;
  const bool encoded = music::encodeSoundtrack(file, timeline::active(), error, stopRecorded);
  const std::string reason = !encoded     ? *error
                             : errno != 0 ? std::strerror(errno)
                                          : "the write stopped short";
  const bool written = std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  const std::string closeReason = closed ? "" : std::strerror(errno);
  if (encoded && written && closed && !stopSignal()) return 0;
  abandonOutput(music);
  if (stopSignal()) {
    std::fprintf(stderr, "demo-capture: stopped while composing the music\n");
    return kStopped;
  }
  *error = "cannot write the music beside \"" + video +
           "\": " + (encoded && written ? closeReason : reason);
  return 1;
}
