// Helpers shared by the media tests: running commands and decoding the
// generated pictures and sound the same way the player does.
#pragma once
#include <SDL.h>
#include <SDL_image.h>
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

// Decoded picture as RGBA8, top row first, whatever format SDL_image chose.
struct Picture {
  int w = 0, h = 0;
  bool hasAlpha = false;
  std::vector<unsigned char> px;
  int at(int x, int y, int c) const { return px[(static_cast<size_t>(y) * w + x) * 4 + c]; }
  double luma(int x, int y) const {
    return 0.299 * at(x, y, 0) + 0.587 * at(x, y, 1) + 0.114 * at(x, y, 2);
  }
};

inline bool loadPicture(const fs::path& path, Picture& pic) {
  SDL_Surface* s = IMG_Load(path.string().c_str());
  if (!s) return false;
  SDL_LockSurface(s);
  pic.w = s->w;
  pic.h = s->h;
  pic.hasAlpha = s->format->Amask != 0;
  pic.px.resize(static_cast<size_t>(pic.w) * pic.h * 4);
  const int bpp = s->format->BytesPerPixel;
  for (int y = 0; y < pic.h; ++y)
    for (int x = 0; x < pic.w; ++x) {
      const Uint8* p = static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * bpp;
      Uint32 v = 0;
      switch (bpp) {
        case 1: v = *p; break;
        case 2: v = *reinterpret_cast<const Uint16*>(p); break;
        case 3:
          v = SDL_BYTEORDER == SDL_LIL_ENDIAN ? (p[0] | p[1] << 8 | p[2] << 16)
                                              : (p[2] | p[1] << 8 | p[0] << 16);
          break;
        default: v = *reinterpret_cast<const Uint32*>(p); break;
      }
      Uint8* o = &pic.px[(static_cast<size_t>(y) * pic.w + x) * 4];
      SDL_GetRGBA(v, s->format, &o[0], &o[1], &o[2], &o[3]);
    }
  SDL_UnlockSurface(s);
  SDL_FreeSurface(s);
  return true;
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
