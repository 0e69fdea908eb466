// Writes small Ogg Vorbis files for the sound tests.
#pragma once

#include <string>

namespace testing_support {

// A stereo 44.1 kHz sine of `seconds` at `frequency` Hz, amplitude 0.5.
bool writeToneOgg(const std::string& path, double seconds, double frequency);

}  // namespace testing_support
