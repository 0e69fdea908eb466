// Ogg Vorbis encoder front end.
#pragma once
#include <string>

#include "tools/mediagen/music.h"

namespace mediagen {

// Encodes at a fixed VBR quality with a fixed stream serial number, so the
// same audio always gives the same file. Returns false with a message naming
// the path in `error` on failure.
bool writeOggVorbis(const std::string& path, const Audio& audio, float quality,
                    const std::string& title, std::string* error);

}  // namespace mediagen
