// Ogg Vorbis encoder front end.
#pragma once
#include <string>

#include "music.h"

namespace mediagen {

// Encodes at a fixed VBR quality with a fixed stream serial number, so the
// same audio always gives the same file. Throws std::runtime_error naming the
// path on failure.
void write_ogg_vorbis(const std::string& path, const Audio& audio, float quality, const std::string& title);

}  // namespace mediagen
