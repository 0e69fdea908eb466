// Ogg Vorbis files from stereo float samples.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Asked now and then by a long job (composing, encoding): true when it
// should end early. Null for never.
using StopCheck = bool (*)();

struct StereoAudio {
  int rate = 44100;
  std::vector<float> left, right;  // -1..1, equal lengths
};

// Encodes at a fixed VBR quality with a fixed stream serial number, so the
// same audio always gives the same file. Returns false with a message naming
// the path in `error` on failure, or with `error` empty when `stop` ended it
// (the file is then left as it was).
bool writeOggVorbis(const std::string& path, const StereoAudio& audio, float quality,
                    const std::string& title, std::string* error, StopCheck stop = nullptr);

// The same bytes into `file`, open for writing, for a caller that owns the
// temporary they go to. False with the reason in `error`, or with `error`
// empty when `stop` ended it first. The caller checks the writes (ferror,
// fclose).
bool encodeOggVorbis(std::FILE* file, const StereoAudio& audio, float quality,
                     const std::string& title, std::string* error, StopCheck stop = nullptr);
