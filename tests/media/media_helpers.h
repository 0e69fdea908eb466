// Helpers shared by the media tests: running commands and decoding the
// generated pictures and sound the same way the player does.
#pragma once
#include "tests/support/picture.h"
#include "tools/common/vorbis_decoder.h"

#include <SDL.h>

#include <sys/wait.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace media_test {

struct RunResult {
  int exitCode = -1;
  std::string output;
};

// Runs a shell command, capturing stdout and stderr together.
inline RunResult run(const std::string& command) {
  RunResult r;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return r;
  char buf[512];
  while (fgets(buf, sizeof buf, pipe)) r.output += buf;
  const int status = pclose(pipe);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

inline std::string quoted(const std::string& s) { return "'" + s + "'"; }

inline std::string readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using Sound = DecodedSound;

inline bool loadSound(const fs::path& path, Sound& snd) {
  std::string error;
  return decodeVorbis(path.string(), &snd, &error);
}

}  // namespace media_test
