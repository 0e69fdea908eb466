// Helpers shared by the media tests: running commands and decoding the
// generated pictures and sound the same way the player does.
#pragma once
#include "tests/support/picture.h"

#include <SDL.h>
#include <vorbis/vorbisfile.h>

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

struct Sound {
  long rate = 0;
  int channels = 0;
  std::vector<float> left, right;
};

inline bool loadSound(const fs::path& path, Sound& snd) {
  OggVorbis_File vf;
  if (ov_fopen(path.string().c_str(), &vf) != 0) return false;
  const vorbis_info* info = ov_info(&vf, -1);
  snd.rate = info->rate;
  snd.channels = info->channels;
  int section = 0;
  for (;;) {
    float** pcm = nullptr;
    const long n = ov_read_float(&vf, &pcm, 4096, &section);
    if (n < 0) {
      ov_clear(&vf);
      return false;
    }
    if (n == 0) break;
    snd.left.insert(snd.left.end(), pcm[0], pcm[0] + n);
    snd.right.insert(snd.right.end(), pcm[snd.channels > 1 ? 1 : 0],
                     pcm[snd.channels > 1 ? 1 : 0] + n);
  }
  ov_clear(&vf);
  return true;
}

}  // namespace media_test
