// A test tone as an Ogg Vorbis file, through the generator's encoder.
#include "tests/support/ogg_file.h"

#include <cmath>

#include "tools/common/ogg_vorbis.h"

namespace testing_support {

bool writeToneOgg(const std::string& path, double seconds, double frequency) {
  StereoAudio tone;
  const long count = std::lround(seconds * tone.rate);
  for (long i = 0; i < count; ++i) {
    tone.left.push_back(
        static_cast<float>(0.5 * std::sin(2 * M_PI * frequency * double(i) / tone.rate)));
  }
  tone.right = tone.left;
  std::string error;
  return writeOggVorbis(path, tone, 0.3f, "tone", &error);
}

}  // namespace testing_support
