// demo: the window player. With --timeline FILE it plays a copy of the
// timeline (a maker's fades and layers) to that timeline's own music,
// composed into a temporary folder before the window opens and removed at exit.
#include "platform/output_file.h"
#include "presentation/music.h"
#include "presentation/player.h"
#include "presentation/timeline.h"
#include "tools/common/music/music.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The folder this run made and the music in it, as fixed buffers so that the
// signal handler can remove them.
char madeFolder[PATH_MAX];
char madeMusic[PATH_MAX + 16];

void removeMade() {
  if (madeMusic[0]) removeIfRegularFile(madeMusic);
  if (madeFolder[0]) rmdir(madeFolder);
}

void removeMadeAndStop(int signal) {
  // unlink and rmdir are safe in a handler; the music is a file of this run's own folder.
  if (madeMusic[0]) unlink(madeMusic);
  if (madeFolder[0]) rmdir(madeFolder);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

// Composes the music of `t` into a folder of its own; false with one line.
bool composeMusic(const Timeline& t, const std::string& path, std::string* error) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/demo-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    *error = "cannot make a folder for the music: " + std::string(std::strerror(errno));
    return false;
  }
  char* absolute = realpath(pattern.c_str(), nullptr);
  std::snprintf(madeFolder, sizeof madeFolder, "%s", absolute ? absolute : pattern.c_str());
  std::free(absolute);
  std::snprintf(madeMusic, sizeof madeMusic, "%s/music.ogg", madeFolder);
  std::atexit(removeMade);
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) signal(s, removeMadeAndStop);
  std::fprintf(stderr, "demo: composing the music of %s\n", path.c_str());
  if (!music::writeSoundtrack(madeMusic, t, error)) return false;
  setMusicFile(madeMusic);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest = {argv[0]};
  std::string path;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--timeline") != 0) {
      rest.push_back(argv[i]);
    } else if (i + 1 < argc) {
      path = argv[++i];
    } else {
      std::fprintf(stderr, "demo: --timeline needs a FILE\n");
      return 2;
    }
  }
  if (!path.empty()) {
    Timeline t;
    std::string error;
    if (!loadTimeline(path, &t, &error)) {
      std::fprintf(stderr, "demo: timeline %s\n", error.c_str());
      return 2;
    }
    timeline::setActive(t);
    if (!composeMusic(t, path, &error)) {
      std::fprintf(stderr, "demo: %s\n", error.c_str());
      return 1;
    }
  }
  rest.push_back(nullptr);
  return presentationMain(static_cast<int>(rest.size()) - 1, rest.data());
}
