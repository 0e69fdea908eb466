// Unit tests of the generator's building blocks: compositing, masks, text
// layout, shape distances and the file writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

#include "tests/media/media_helpers.h"
#include "tools/common/music/mastering.h"
#include "tools/common/music/music.h"
#include "tools/mediagen/image_io.h"
#include "tools/mediagen/raster.h"
#include "tools/mediagen/text.h"

#include <zlib.h>

using namespace mediagen;
using namespace music;
using namespace media_test;

namespace {

// A scratch folder removed when the test ends.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/mediagen_unit_XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

const uint8_t* pixel(const Image& img, int x, int y) {
  return &img.pixels[(static_cast<size_t>(y) * img.width + x) * img.channels];
}

// ---- compositing ----------------------------------------------------------------

TEST(Canvas, BlendsOverAndStoresStraightAlpha) {
  struct Case {
    const char* what;
    bool blueUnder;
    Rgba over;
    float coverage;
    bool withAlpha;
    int r, g, b, a;  // expected output; a ignored without alpha
  };
  const Case cases[] = {
      {"half red over opaque blue", true, {1, 0, 0, 0.5f}, 1.0f, true, 128, 0, 128, 255},
      // Straight output: translucent colour must not come out darkened.
      {"half red over nothing", false, {1, 0, 0, 0.5f}, 1.0f, true, 255, 0, 0, 128},
      {"coverage scales alpha", false, {1, 0, 0, 0.5f}, 0.5f, true, 255, 0, 0, 64},
      {"opaque output sits on black", false, {1, 0, 0, 0.5f}, 1.0f, false, 128, 0, 0, 0},
      {"opaque red hides blue", true, {1, 0, 0, 1.0f}, 1.0f, true, 255, 0, 0, 255},
  };
  for (const Case& c : cases) {
    Canvas canvas(1, 1);
    if (c.blueUnder) canvas.blend(0, 0, {0, 0, 1, 1});
    canvas.blend(0, 0, c.over, c.coverage);
    const Image img = canvas.toImage(c.withAlpha);
    ASSERT_EQ(img.channels, c.withAlpha ? 4 : 3) << c.what;
    const uint8_t* p = pixel(img, 0, 0);
    EXPECT_EQ(p[0], c.r) << c.what;
    EXPECT_EQ(p[1], c.g) << c.what;
    EXPECT_EQ(p[2], c.b) << c.what;
    if (c.withAlpha) {
      EXPECT_EQ(p[3], c.a) << c.what;
    }
  }
}

TEST(Canvas, InvisiblePixelsBorrowNearbyColourSoFilteringKeepsEdgesClean) {
  Canvas canvas(9, 9);
  canvas.blend(4, 4, {0, 1, 0, 1});
  const Image img = canvas.toImage(true);
  const uint8_t* near = pixel(img, 5, 6);
  EXPECT_EQ(near[3], 0);
  EXPECT_EQ(near[1], 255) << "transparent neighbour should carry the green";
  const uint8_t* far = pixel(img, 0, 0);
  EXPECT_EQ(far[1], 0) << "beyond the bleed radius nothing changes";
}

TEST(Canvas, WrappingCarriesShapesAcrossEveryEdge) {
  for (bool wrap : {false, true}) {
    Canvas canvas(16, 16);
    canvas.setWrap(wrap);
    canvas.fillCircle(0.0f, 0.0f, 3.0f, {1, 1, 1, 1});
    const Image img = canvas.toImage(true);
    EXPECT_GT(pixel(img, 0, 0)[3], 200);
    for (auto [x, y] : {std::pair{15, 15}, std::pair{15, 0}, std::pair{0, 15}}) {
      if (wrap) {
        EXPECT_GT(pixel(img, x, y)[3], 200) << x << "," << y;
      } else {
        EXPECT_EQ(pixel(img, x, y)[3], 0) << x << "," << y;
      }
    }
  }
}

TEST(Canvas, RectangleEdgesAreAntialiasedByArea) {
  Canvas canvas(4, 1);
  canvas.fillRect(0.5f, 0.0f, 2.25f, 1.0f, {1, 1, 1, 1});
  const Image img = canvas.toImage(true);
  EXPECT_EQ(pixel(img, 0, 0)[3], 128);
  EXPECT_EQ(pixel(img, 1, 0)[3], 255);
  EXPECT_EQ(pixel(img, 2, 0)[3], 64);
  EXPECT_EQ(pixel(img, 3, 0)[3], 0);
}

// ---- masks -------------------------------------------------------------------------

Mask dot(int size, int x, int y) {
  Mask m(size, size);
  m.ref(x, y) = 1.0f;
  return m;
}

double sum(const Mask& m) {
  double s = 0;
  for (float v : m.cov) s += v;
  return s;
}

TEST(Masks, GrowingOperationsKeepShapesInPlace) {
  // Painting a grown mask at (x - pad, y - pad) must not shift it: its
  // centre of mass stays on the original pixel.
  struct Case {
    const char* what;
    int pad;
    Mask (*grow)(const Mask&, int pad);
  };
  const Case cases[] = {
      {"dilate", 3, [](const Mask& m, int pad) { return dilate(m, 2.0f, pad); }},
      {"blur", 6, [](const Mask& m, int pad) { return blur(m, 2, pad); }},
  };
  for (const Case& c : cases) {
    const Mask grown = c.grow(dot(5, 1, 3), c.pad);
    ASSERT_EQ(grown.width, 5 + 2 * c.pad) << c.what;
    double mx = 0, my = 0;
    for (int y = 0; y < grown.height; ++y)
      for (int x = 0; x < grown.width; ++x) {
        mx += x * static_cast<double>(grown.at(x, y));
        my += y * static_cast<double>(grown.at(x, y));
      }
    EXPECT_NEAR(mx / sum(grown), 1 + c.pad, 1e-3) << c.what;
    EXPECT_NEAR(my / sum(grown), 3 + c.pad, 1e-3) << c.what;
  }
}

TEST(Masks, BlurConservesInkAndDilateReachesItsRadius) {
  const Mask blurred = blur(dot(3, 1, 1), 2, 8);
  EXPECT_NEAR(sum(blurred), 1.0, 1e-4);
  const Mask grown = dilate(dot(3, 1, 1), 2.0f, 3);
  EXPECT_FLOAT_EQ(grown.at(4 + 1, 4), 1.0f);      // one pixel out: full
  EXPECT_GT(grown.at(4 + 2, 4), 0.0f);            // on the radius: soft rim
  EXPECT_FLOAT_EQ(grown.at(4 + 3, 4), 0.0f);      // beyond: untouched
  EXPECT_FLOAT_EQ(grown.at(4 + 2, 4 + 2), 0.0f);  // disc, not square
}

TEST(Masks, CropAndScaleKeepTheInk) {
  Mask m(8, 8);
  m.ref(3, 2) = 1.0f;
  m.ref(5, 4) = 0.5f;
  const Mask c = crop(m);
  EXPECT_EQ(c.width, 3);
  EXPECT_EQ(c.height, 3);
  EXPECT_FLOAT_EQ(c.at(0, 0), 1.0f);
  EXPECT_FLOAT_EQ(c.at(2, 2), 0.5f);
  const Mask big = scaleNearest(c, 3, 2);
  EXPECT_EQ(big.width, 9);
  EXPECT_EQ(big.height, 6);
  EXPECT_FLOAT_EQ(big.at(8, 5), 0.5f);
  EXPECT_FLOAT_EQ(big.at(2, 1), 1.0f);
  EXPECT_FLOAT_EQ(big.at(3, 1), 0.0f);
}

// ---- shapes --------------------------------------------------------------------------

TEST(Shapes, DistancesAreNegativeInsideAndPositiveOutside) {
  struct Case {
    const char* what;
    float inside, outside;
  };
  const Case cases[] = {
      {"circle", sdCircle(10, 10, 10, 10, 5), sdCircle(16, 10, 10, 10, 5)},
      {"box", sdBox(10, 12, 10, 10, 8, 3, 1), sdBox(10, 14, 10, 10, 8, 3, 1)},
      {"rounded box corner", sdBox(17, 12, 10, 10, 8, 3, 0), sdBox(17.9f, 12.9f, 10, 10, 8, 3, 2)},
      {"wide ellipse", sdEllipse(28, 10, 10, 10, 20, 4), sdEllipse(10, 15, 10, 10, 20, 4)},
      // Heart 40 px tall, tip at y=50: lobes near the top, notch between.
      {"heart lobe", sdHeart(95, 20, 100, 50, 40), sdHeart(100, 9, 100, 50, 40)},
      {"heart tip", sdHeart(100, 47, 100, 50, 40), sdHeart(100, 53, 100, 50, 40)},
  };
  for (const Case& c : cases) {
    EXPECT_LT(c.inside, 0.0f) << c.what;
    EXPECT_GT(c.outside, 0.0f) << c.what;
  }
  // Distances are in pixels, which the one-pixel anti-aliasing ramp needs.
  EXPECT_NEAR(sdCircle(13, 14, 10, 10, 2), 3.0f, 1e-5f);
  EXPECT_NEAR(sdBox(20, 10, 10, 10, 5, 5, 0), 5.0f, 1e-5f);
  EXPECT_NEAR(sdEllipse(34, 10, 10, 10, 20, 4), 4.0f, 0.5f);
}

// ---- text ------------------------------------------------------------------------------

// Lowest row with ink in the given column range.
int bottomInk(const Mask& m, int x0, int x1) {
  for (int y = m.height - 1; y >= 0; --y)
    for (int x = x0; x < x1; ++x)
      if (m.at(x, y) > 0.5f) return y;
  return -1;
}

TEST(Text, LinesShareOneBaselineAndNothingIsClipped) {
  const Font& sans = font(kCaption);
  const Mask caps = sans.render("HHH", 40);
  const Mask mixed = sans.render("Hgj(|)", 40);
  EXPECT_EQ(caps.height, mixed.height) << "line box must not depend on the letters";
  EXPECT_EQ(bottomInk(caps, 0, 4), bottomInk(mixed, 0, 4)) << "H must sit on the same baseline";
  // Descenders and brackets fit: the outermost rows are not solid ink.
  for (const Mask* m : {&caps, &mixed}) {
    float top = 0, bottom = 0;
    for (int x = 0; x < m->width; ++x) {
      top = std::max(top, m->at(x, 0));
      bottom = std::max(bottom, m->at(x, m->height - 1));
    }
    EXPECT_LT(top, 0.9f);
    EXPECT_LT(bottom, 0.9f);
  }
}

TEST(Text, FitPicksTheLargestSizeThatFits) {
  const Font& sans = font(kCaption);
  const std::string text = "greetings to everyone";
  const int size = sans.fit(text, 300, 60);
  EXPECT_LE(sans.render(text, size).width, 300);
  EXPECT_GT(sans.render(text, size + 1).width, 300);
  EXPECT_EQ(sans.fit(text, 5000, 60), 60);
}

TEST(Text, MissingFontIsReportedByPath) {
  Font f;
  std::string error;
  EXPECT_FALSE(f.load("NoSuchFont.ttf", &error));
  EXPECT_NE(error.find("NoSuchFont.ttf"), std::string::npos) << error;
  EXPECT_EQ(f.render("A", 20).width, 1) << "an unloaded font renders nothing";
}

// ---- writers -------------------------------------------------------------------------

TEST(Writers, ImagesRoundTripThroughTheDecoderThePlayerUses) {
  TempDir dir;
  std::string error;
  Image rgba{3, 2, 4, {255, 0,  0,  255, 0,   255, 0,  128, 0, 0, 255, 0,
                       10,  20, 30, 40,  200, 100, 50, 255, 1, 2, 3,   4}};
  Image rgb{3, 2, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30, 200, 100, 50, 1, 2, 3}};
  struct Case {
    const char* name;
    const Image* img;
    bool jpeg;
  };
  for (const Case& c : {Case{"a.png", &rgba, false}, Case{"b.png", &rgb, false}}) {
    ASSERT_TRUE(writePng(dir.file(c.name), *c.img, &error)) << error;
    Picture pic;
    ASSERT_TRUE(loadPicture(dir.file(c.name), pic)) << c.name;
    ASSERT_EQ(pic.w, 3);
    ASSERT_EQ(pic.h, 2);
    EXPECT_EQ(pic.hasAlpha, c.img->channels == 4) << c.name;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x)
        for (int ch = 0; ch < c.img->channels; ++ch)
          EXPECT_EQ(pic.at(x, y, ch), pixel(*c.img, x, y)[ch]) << c.name << " " << x << "," << y;
  }
  // JPEG is lossy: check a flat colour survives closely and alpha is gone.
  Image flat{16, 16, 4, {}};
  for (int i = 0; i < 256; ++i) flat.pixels.insert(flat.pixels.end(), {200, 60, 20, 7});
  ASSERT_TRUE(writeJpeg(dir.file("c.jpg"), flat, 92, &error)) << error;
  Picture pic;
  ASSERT_TRUE(loadPicture(dir.file("c.jpg"), pic));
  EXPECT_FALSE(pic.hasAlpha);
  EXPECT_NEAR(pic.at(8, 8, 0), 200, 3);
  EXPECT_NEAR(pic.at(8, 8, 1), 60, 3);
  EXPECT_NEAR(pic.at(8, 8, 2), 20, 3);
}

// The filter byte that starts each row of a PNG's image data, read back by
// inflating the file's IDAT chunks. Empty when the file cannot be read.
static std::vector<int> pngRowFilters(const std::string& path, int rowBytes, int rows) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  std::vector<unsigned char> compressed;
  for (size_t at = 8; at + 12 <= file.size();) {
    const size_t length = (size_t{file[at]} << 24) | (size_t{file[at + 1]} << 16) |
                          (size_t{file[at + 2]} << 8) | file[at + 3];
    if (at + 12 + length > file.size()) return {};
    if (std::equal(file.begin() + static_cast<long>(at) + 4,
                   file.begin() + static_cast<long>(at) + 8, "IDAT"))
      compressed.insert(compressed.end(), file.begin() + static_cast<long>(at) + 8,
                        file.begin() + static_cast<long>(at + 8 + length));
    at += 12 + length;
  }
  std::vector<unsigned char> raw(static_cast<size_t>(rowBytes + 1) * rows);
  uLongf rawSize = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &rawSize, compressed.data(), static_cast<uLong>(compressed.size())) !=
          Z_OK ||
      rawSize != raw.size())
    return {};
  std::vector<int> filters;
  for (int y = 0; y < rows; ++y) filters.push_back(raw[static_cast<size_t>(y) * (rowBytes + 1)]);
  return filters;
}

// The player decodes every picture while it starts. Rows filtered with
// Paeth or Average are several times dearer to undo than unfiltered or Up
// rows, so the writer may only use those two, whatever the picture.
TEST(Writers, PngRowsUseOnlyFiltersThatAreCheapToUndo) {
  TempDir dir;
  const int w = 64, h = 48;
  Image smooth{w, h, 4, {}}, sparse{w, h, 4, {}}, noisy{w, h, 3, {}};
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const auto g = static_cast<uint8_t>(x * 3 + y * 2);
      smooth.pixels.insert(smooth.pixels.end(), {g, static_cast<uint8_t>(255 - g), 90, 255});
      const uint8_t star = (x * 7 + y * 13) % 97 == 0 ? 255 : 0;
      sparse.pixels.insert(sparse.pixels.end(), {star, star, star, star});
      for (int c = 0; c < 3; ++c) {
        seed = seed * 1664525u + 1013904223u;
        noisy.pixels.push_back(static_cast<uint8_t>(g / 2 + (seed >> 28)));
      }
    }
  std::string error;
  for (const Image* img : {&smooth, &sparse, &noisy}) {
    const std::string path = dir.file("p.png");
    ASSERT_TRUE(writePng(path, *img, &error)) << error;
    const std::vector<int> filters = pngRowFilters(path, w * img->channels, h);
    ASSERT_EQ(filters.size(), static_cast<size_t>(h)) << "cannot read the rows back";
    for (int y = 0; y < h; ++y)
      EXPECT_TRUE(filters[y] == 0 || filters[y] == 2)
          << "row " << y << " uses filter " << filters[y];
    Picture pic;
    ASSERT_TRUE(loadPicture(path, pic));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < img->channels; ++c)
          ASSERT_EQ(pic.at(x, y, c), pixel(*img, x, y)[c]) << x << "," << y;
  }
}

TEST(Writers, FailuresNameTheFile) {
  const std::string bad = "/nonexistent-folder/x";
  Image img{1, 1, 4, {0, 0, 0, 0}};
  Audio audio;
  audio.left.assign(100, 0.0f);
  audio.right.assign(100, 0.0f);
  struct Case {
    const char* what;
    std::string path;
    std::function<bool(const std::string&, std::string*)> write;
  };
  const Case cases[] = {
      {"png", bad + ".png",
       [&](const std::string& p, std::string* e) { return writePng(p, img, e); }},
      {"jpeg", bad + ".jpg",
       [&](const std::string& p, std::string* e) { return writeJpeg(p, img, 90, e); }},
      {"ogg", bad + ".ogg",
       [&](const std::string& p, std::string* e) {
         return writeOggVorbis(p, audio, 0.4f, "t", e);
       }},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(c.write(c.path, &error)) << c.what;
    EXPECT_NE(error.find(c.path), std::string::npos) << c.what << ": " << error;
  }
}

// Counts upward zero crossings, i.e. cycles of a clean tone.
int cycles(const std::vector<float>& v, size_t from, size_t to) {
  int n = 0;
  for (size_t i = from + 1; i < to; ++i) n += v[i - 1] < 0.0f && v[i] >= 0.0f;
  return n;
}

TEST(Writers, VorbisKeepsLengthChannelsAndLevelAndRepeatsExactly) {
  TempDir dir;
  Audio audio;
  const size_t frames = 44100 * 2 + 123;  // odd length: the end must not be padded or cut
  for (size_t i = 0; i < frames; ++i) {
    const float t = static_cast<float>(i) / 44100.0f;
    audio.left.push_back(0.5f * std::sin(6.2831853f * 441.0f * t));
    audio.right.push_back(0.25f * std::sin(6.2831853f * 882.0f * t));
  }
  std::string error;
  ASSERT_TRUE(writeOggVorbis(dir.file("a.ogg"), audio, 0.4f, "test", &error)) << error;
  ASSERT_TRUE(writeOggVorbis(dir.file("b.ogg"), audio, 0.4f, "test", &error)) << error;
  EXPECT_TRUE(readBytes(dir.file("a.ogg")) == readBytes(dir.file("b.ogg")))
      << "encoding must be repeatable";

  Sound snd;
  ASSERT_TRUE(loadSound(dir.file("a.ogg"), snd));
  EXPECT_EQ(snd.rate, 44100);
  EXPECT_EQ(snd.channels, 2);
  EXPECT_EQ(snd.left.size(), frames);
  // One second in the middle: left carries 441 Hz at -6 dB, right 882 Hz.
  EXPECT_NEAR(cycles(snd.left, 22050, 66150), 441, 2);
  EXPECT_NEAR(cycles(snd.right, 22050, 66150), 882, 2);
  float peakL = 0, peakR = 0;
  for (size_t i = 22050; i < 66150; ++i) {
    peakL = std::max(peakL, std::fabs(snd.left[i]));
    peakR = std::max(peakR, std::fabs(snd.right[i]));
  }
  EXPECT_NEAR(peakL, 0.5f, 0.05f);
  EXPECT_NEAR(peakR, 0.25f, 0.05f);

  // The decoder stops at the frame asked for, and names a file that is not Ogg Vorbis.
  Sound head;
  ASSERT_TRUE(decodeVorbis(dir.file("a.ogg"), &head, &error, 1000)) << error;
  EXPECT_TRUE(head.left == std::vector<float>(snd.left.begin(), snd.left.begin() + 1000));
  EXPECT_FALSE(decodeVorbis(dir.file("a.ogg") + "/none", &head, &error));
  EXPECT_EQ(error, "cannot decode \"" + dir.file("a.ogg") + "/none\": not an Ogg Vorbis file");
}

// ---- mastering -------------------------------------------------------------------

// Stereo 997 Hz tone: the meter's calibration signal.
std::vector<float> tone(float amplitude, double seconds) {
  std::vector<float> v(static_cast<size_t>(seconds * 48000));
  for (size_t i = 0; i < v.size(); ++i)
    v[i] = amplitude * std::sin(6.2831853f * 997.0f * static_cast<float>(i) / 48000.0f);
  return v;
}

TEST(Mastering, LoudnessIsCalibratedAndGated) {
  // A 997 Hz tone in both channels reads its peak level in dBFS as LUFS;
  // silence and a much quieter passage are gated out of the mean.
  auto then = [](std::vector<float> a, const std::vector<float>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  struct Case {
    const char* what;
    std::vector<float> signal;
    double lufs;
  };
  const Case cases[] = {
      {"tone at -20 dBFS", tone(0.1f, 3), -20.0},
      {"tone at -6 dBFS", tone(0.5f, 3), -6.0},
      {"tone then silence", then(tone(0.1f, 3), tone(0.0f, 3)), -20.0},
      {"tone then a passage 30 dB down", then(tone(0.1f, 3), tone(0.00316f, 3)), -20.0},
      {"silence", tone(0.0f, 3), -70.0},
  };
  // Blocks that straddle a change pass the gates half-filled, hence 0.3.
  for (const Case& c : cases)
    EXPECT_NEAR(integratedLoudness(c.signal, c.signal, 48000), c.lufs, 0.3) << c.what;
}

TEST(Mastering, LimiterHoldsTheCeilingAndLeavesQuietPartsAlone) {
  // A quiet tone with one loud burst in the middle.
  std::vector<float> l = tone(0.2f, 2);
  for (size_t i = 48000; i < 48000 + 480; ++i) l[i] *= 4.5f;
  std::vector<float> r = l;
  const std::vector<float> before = l;
  limitPeaks(l, r, 48000, 0.5f, 2.0, 50.0);
  float peak = 0;
  for (size_t i = 0; i < l.size(); ++i) peak = std::max({peak, std::fabs(l[i]), std::fabs(r[i])});
  EXPECT_LE(peak, 0.5f + 1e-5f);
  EXPECT_GT(peak, 0.45f) << "the burst is turned down to the ceiling, not below it";
  // Half a second before the burst and after its release, nothing changes.
  for (size_t i : {size_t{24000}, size_t{80000}}) EXPECT_NEAR(l[i], before[i], 1e-4f) << i;
}

}  // namespace
