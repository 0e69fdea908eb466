// The music follows the timeline: a video of a copy whose SPACE picture comes
// 2 s later has the music's SPACE hit 2 s later, measured in its sound track.
#include "presentation/window.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

constexpr int kRate = 44100;

// The mono mix of a file's sound from `from` for `seconds`, decoded by ffmpeg.
std::vector<float> decodedSound(const std::string& file, double from, double seconds) {
  const std::string command = "ffmpeg -nostdin -v error -ss " + std::to_string(from) + " -t " +
                              std::to_string(seconds) + " -i '" + file +
                              "' -vn -ac 1 -ar 44100 -f f32le -";
  std::vector<float> samples;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    float block[4096];
    size_t n;
    while ((n = std::fread(block, sizeof(float), 4096, pipe)) > 0)
      samples.insert(samples.end(), block, block + n);
    pclose(pipe);
  }
  return samples;
}

// Second-order filter sections (RBJ), enough to split off highs and lows.
struct Biquad {
  double b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  Biquad(bool high, double hz) {
    const double w = 2 * M_PI * hz / kRate, c = std::cos(w), alpha = std::sin(w) / std::sqrt(2.0);
    const double a0 = 1 + alpha;
    b0 = (high ? (1 + c) / 2 : (1 - c) / 2) / a0;
    b1 = (high ? -(1 + c) : 1 - c) / a0;
    b2 = b0;
    a1 = -2 * c / a0;
    a2 = (1 - alpha) / a0;
  }
  double operator()(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// The moment (seconds from the start of `mono`) where the highs above 2.5 kHz
// plus the lows below 150 Hz rise most over the 0.4 s before, in dB of
// mean power, looked at every 10 ms.
double largestRise(const std::vector<float>& mono) {
  std::vector<double> highs(mono.size() + 1, 0), lows(mono.size() + 1, 0);  // running sums
  Biquad h(true, 2500), l(false, 150);
  for (size_t i = 0; i < mono.size(); ++i) {
    const double a = h(mono[i]), b = l(mono[i]);
    highs[i + 1] = highs[i] + a * a;
    lows[i + 1] = lows[i] + b * b;
  }
  const size_t window = static_cast<size_t>(0.4 * kRate), step = kRate / 100;
  double best = -1e9, at = -1;
  for (size_t i = window; i + window < mono.size(); i += step) {
    auto rise = [&](const std::vector<double>& sum) {
      const double before = sum[i] - sum[i - window], after = sum[i + window] - sum[i];
      return 10 * std::log10((after + 1e-12) / (before + 1e-12));
    };
    const double r = rise(highs) + rise(lows);
    if (r > best) {
      best = r;
      at = static_cast<double>(i) / kRate;
    }
  }
  return at;
}

}  // namespace

TEST(TimelineMusic, AVideoOfAMovedFadeHasItsHitMovedWithIt) {
  if (!generatedMediaPresent()) GTEST_SKIP() << "no media in " << kGeneratedMedia;
  if (std::system("command -v ffmpeg >/dev/null") != 0) GTEST_SKIP() << "no ffmpeg";
  const std::string folder = makeTempDir();
  std::ifstream in(DEMO_SOURCE_DIR "/presentation/timeline.txt");
  std::stringstream text;
  text << in.rdbuf();
  std::string copy = text.str();
  const size_t at = copy.find("\nspaceIn 55 ");
  ASSERT_NE(at, std::string::npos);
  copy.replace(at, 12, "\nspaceIn 57 ");
  std::ofstream(folder + "/copy.txt") << copy;

  const std::string video = folder + "/x.mkv";
  const std::string capture = std::string(DEMO_BINARY_DIR "/demo-capture --media ") +
                              kGeneratedMedia + " --timeline " + folder +
                              "/copy.txt --from 50 --to 62 --fps 10 --video " + video;
  ASSERT_EQ(std::system(capture.c_str()), 0) << capture;
  const double built = largestRise(decodedSound(kGeneratedMedia + "/music.ogg", 50, 12));
  const double moved = largestRise(decodedSound(video, 0, 12));
  std::printf("the SPACE hit at %.2f s with the built-in timeline, %.2f s with spaceIn 57\n",
              50 + built, 50 + moved);
  EXPECT_NEAR(moved - built, 2.0, 0.1);
  EXPECT_EQ(std::system(("ls -A " + folder + " | grep -v -e '^copy.txt$' -e '^x.mkv$'").c_str()),
            256)
      << "the capture leaves only the video beside it";
}
