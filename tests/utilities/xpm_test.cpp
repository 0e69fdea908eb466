// The cursor XPM tools: exported text, its bit planes and SDL cursors, the
// failure paths, and the xpm-export command.
#include "imaging/xpm.h"
#include "tests/support/test_support.h"
#include "tests/utilities/image_files.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace testing_support;
using namespace utilities_testing;

namespace {

const Rgba kBlack = {0, 0, 0, 255};
const Rgba kWhite = {255, 255, 255, 255};
const Rgba kClear = {0, 0, 0, 0};

// The string literals of an exported C text, in order: the array's elements.
std::vector<std::string> arrayElements(const std::string& source) {
  std::vector<std::string> elements;
  size_t start = 0;
  while (start < source.size()) {
    size_t end = source.find('\n', start);
    if (end == std::string::npos) end = source.size();
    const std::string line = source.substr(start, end - start);
    if (line.rfind("\t\t\"", 0) == 0) {
      elements.push_back(line.substr(3, line.rfind('"') - 3));
    }
    start = end + 1;
  }
  return elements;
}

// Pointers to `elements`, ended by a null pointer.
std::vector<const char*> pointers(const std::vector<std::string>& elements) {
  std::vector<const char*> lines;
  for (const auto& e : elements) lines.push_back(e.c_str());
  lines.push_back(nullptr);
  return lines;
}

std::string joined(const std::vector<std::string>& elements) {
  std::string text;
  for (const auto& e : elements) text += "[" + e + "]";
  return text;
}

int lineCount(const std::string& text) {
  int count = 0;
  for (char ch : text) count += ch == '\n';
  return count;
}

class Xpm : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = makeTempDir();
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  }
  static void TearDownTestSuite() {
    SDL_Quit();
    std::filesystem::remove_all(folder);
  }
  // Exports `image` and returns the array's elements.
  static std::vector<std::string> exported(const std::string& image) {
    const std::string out = folder + "/out.c";
    EXPECT_EQ(exportXpm(image.c_str(), out.c_str()), 0);
    return arrayElements(readFile(out));
  }
  static std::string folder;
};
std::string Xpm::folder;

}  // namespace

TEST_F(Xpm, ExportWidensRowsToMultiplesOfEight) {
  struct Case {
    int width, height, declaredWidth;
  };
  const Case cases[] = {{16, 16, 16}, {10, 3, 16}, {1, 2, 8}, {8, 1, 8}, {9, 1, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    const std::string image = folder + "/black.png";
    writeRgbaPng(image, c.width, c.height, [](int, int) { return kBlack; });
    const auto elements = exported(image);
    ASSERT_EQ(elements.size(), 5u + c.height) << joined(elements);
    EXPECT_EQ(elements[0],
              " " + std::to_string(c.declaredWidth) + " " + std::to_string(c.height) + " 3 1 ");
    const std::string row = std::string(c.width, 'X') + std::string(c.declaredWidth - c.width, ' ');
    for (int r = 0; r < c.height; ++r) EXPECT_EQ(elements[4 + r], row) << "row " << r;
    EXPECT_EQ(elements.back(), "0,0");
  }
}

TEST_F(Xpm, ExportWritesTheWholeCText) {
  const std::string image = folder + "/arrow.png";
  writeRgbaPng(image, 10, 3, [](int x, int y) {
    return x == y ? kBlack : x < 5 ? kWhite : kClear;
  });
  const std::string out = folder + "/arrow.c";
  ASSERT_EQ(exportXpm(image.c_str(), out.c_str()), 0);
  const std::string name = folder + "/arrow";
  EXPECT_EQ(readFile(out), "const char *" + name + "[] =\n" +
                               "\t{\n"
                               "\t\t/* width height num_colors chars_per_pixel */\n"
                               "\t\t\" 16 3 3 1 \",\n"
                               "\t\t/* colors */\n"
                               "\t\t\"X c #000000\",\n"
                               "\t\t\". c #ffffff\",\n"
                               "\t\t\"  c None\",\n"
                               "\t\t/* pixels */\n"
                               "\t\t\"X....           \",\n"
                               "\t\t\".X...           \",\n"
                               "\t\t\"..X..           \",\n"
                               "\t\t\"0,0\"\n"
                               "\t};\n");
}

TEST_F(Xpm, ExportThresholdsEachPixel) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> write;
    std::string row;
  };
  const std::vector<Rgba> rgba = {
      {255, 255, 255, 255}, {0, 0, 0, 255},   {127, 127, 127, 255}, {128, 0, 0, 255},
      {0, 128, 0, 255},     {0, 0, 128, 255}, {0, 0, 0, 128},       {255, 255, 255, 128},
      {255, 255, 255, 127}, {0, 0, 0, 127},   {0, 0, 0, 0},
  };
  const Case cases[] = {
      {"RGBA PNG: alpha below 128 is transparent, any channel from 128 is white",
       [&](const std::string& path) {
         writeRgbaPng(path, static_cast<int>(rgba.size()), 1, [&](int x, int) { return rgba[x]; });
       },
       ".XX...X.   "},
      {"24-bit BMP without alpha is opaque",
       [](const std::string& path) {
         const std::array<Uint8, 3> rgb[] = {
             {255, 255, 255}, {0, 0, 0}, {127, 127, 127}, {128, 0, 0}};
         writeBmp(path, 4, 1, [&](int x, int) { return rgb[x]; });
       },
       ".XX."},
      {"colour-keyed palette PNG: the keyed index is transparent",
       [](const std::string& path) {
         writePalettePng(path, {{0, 0, 0}, {255, 255, 255}, {9, 9, 9}}, {255, 255, 0},
                         {0, 1, 2, 2, 1, 0});
       },
       "X.  .X"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string image = folder + "/pixels.img";
    c.write(image);
    const auto elements = exported(image);
    ASSERT_EQ(elements.size(), 6u) << joined(elements);
    const size_t padded = (c.row.size() + 7) / 8 * 8;
    EXPECT_EQ(elements[4], c.row + std::string(padded - c.row.size(), ' '));
  }
}

TEST_F(Xpm, ArrayIsNamedAfterThePathUpToItsFirstDot) {
  const std::string here = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  writeRgbaPng("arrow.png", 8, 1, [](int, int) { return kBlack; });
  std::filesystem::copy_file("arrow.png", "arrow");
  std::filesystem::copy_file("arrow.png", "a.b.png");
  struct Case {
    std::string path, name;
  };
  const Case cases[] = {
      {"arrow.png", "arrow"},
      {"arrow", "arrow"},
      {"a.b.png", "a"},
      {"./arrow.png", ""},
      {folder + "/arrow.png", folder + "/arrow"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ASSERT_EQ(exportXpm(c.path.c_str(), "named.c"), 0);
    const std::string text = readFile("named.c");
    EXPECT_EQ(text.substr(0, text.find('\n')), "const char *" + c.name + "[] =");
  }
  std::filesystem::current_path(here);
}

TEST_F(Xpm, ExportFailuresReturnMinusOneSayWhyAndLeaveNoFile) {
  const std::string image = folder + "/good.png";
  writeRgbaPng(image, 40, 40, [](int x, int) { return x % 2 ? kBlack : kWhite; });
  const std::string notImage = folder + "/notes.png";
  writeFile(notImage, "this is not a picture");
  const std::string kept = folder + "/kept.c";

  struct Case {
    const char* name;
    std::string image, out;
    long sizeLimit;  // 0: none
    std::string message;
    const char* leftBehind;
  };
  const Case cases[] = {
      {"missing image", folder + "/missing.png", folder + "/a.c", 0,
       "cannot load \"" + folder + "/missing.png\"", "none"},
      {"undecodable image", notImage, folder + "/b.c", 0, "cannot load \"" + notImage + "\"",
       "none"},
      {"undecodable image, existing output untouched", notImage, kept, 0,
       "cannot load \"" + notImage + "\"", "file"},
      {"output directory missing", image, folder + "/none/c.c", 0,
       "cannot write \"" + folder + "/none/c.c\"", "none"},
      {"output is a directory", image, folder, 0, "cannot write \"" + folder + "\"", "directory"},
      {"full disk (/dev/full)", image, "/dev/full", 0, "cannot write \"/dev/full\"", "device"},
      {"file cut off after 500 bytes", image, folder + "/cut.c", 500,
       "cannot write \"" + folder + "/cut.c\"", "none"},
      {"file cut off, existing output untouched", image, kept, 500, "cannot write \"" + kept + "\"",
       "file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(kept, "keep me");
    int result = 0;
    const std::string printed = captureStderr([&] {
      if (c.sizeLimit > 0) {
        withFileSizeLimit(c.sizeLimit, [&] { result = exportXpm(c.image.c_str(), c.out.c_str()); });
      } else {
        result = exportXpm(c.image.c_str(), c.out.c_str());
      }
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(printed.rfind(c.message + ": ", 0), 0u) << printed;
    EXPECT_EQ(lineCount(printed), 1) << printed;
    EXPECT_EQ(pathKind(c.out), c.leftBehind);
    EXPECT_EQ(readFile(kept), "keep me");
  }
}

TEST_F(Xpm, BitPlanesPutTheLeftmostPixelInTheTopBit) {
  struct Case {
    const char* name;
    std::vector<std::string> text;
    int width, height, hotX, hotY;
    std::vector<Uint8> data, mask;
  };
  const std::vector<std::string> colours = {"X c #000000", ". c #ffffff", "  c None"};
  const auto text = [&](const std::string& header, std::vector<std::string> rows,
                        const std::string& hot) {
    std::vector<std::string> all = {header};
    all.insert(all.end(), colours.begin(), colours.end());
    all.insert(all.end(), rows.begin(), rows.end());
    all.push_back(hot);
    return all;
  };
  const Case cases[] = {
      {"black then white", text(" 8 1 3 1 ", {"X......."}, "0,0"), 8, 1, 0, 0, {0x80}, {0xFF}},
      {"black then blanks", text(" 8 1 3 1 ", {"X       "}, "0,0"), 8, 1, 0, 0, {0x80}, {0x80}},
      {"white byte, black byte",
       text(" 16 1 3 1 ", {"........XXXXXXXX"}, "0,0"),
       16,
       1,
       0,
       0,
       {0x00, 0xFF},
       {0xFF, 0xFF}},
      {"rows follow each other",
       text("8 2", {"XXXX....", "  ..XX  "}, "7,1"),
       8,
       2,
       7,
       1,
       {0xF0, 0x0C},
       {0xFF, 0x3C}},
      {"other characters are transparent",
       text("8 1", {"xo#-_*+\t"}, "0,0"),
       8,
       1,
       0,
       0,
       {0x00},
       {0x00}},
      {"characters past the width are ignored",
       text("8 1", {"X.......XXXX"}, "0,0"),
       8,
       1,
       0,
       0,
       {0x80},
       {0xFF}},
      {"colour lines are never read",
       {"8 1", "", "anything", ". c #000000", ".......X", "0,0"},
       8,
       1,
       0,
       0,
       {0x01},
       {0xFF}},
      {"white space in the header and hot spot",
       text("\t8\t 1junk", {"X......."}, " 3, 0"),
       8,
       1,
       3,
       0,
       {0x80},
       {0xFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // SDL keeps a copy of the planes it was given, so the cursor shows them.
    const auto lines = pointers(c.text);
    SDL_Cursor* cursor = cursorFromXpm(lines.data());
    ASSERT_NE(cursor, nullptr) << SDL_GetError();
    EXPECT_EQ(cursor->area.w, c.width);
    EXPECT_EQ(cursor->area.h, c.height);
    EXPECT_EQ(cursor->hot_x, c.hotX);
    EXPECT_EQ(cursor->hot_y, c.hotY);
    EXPECT_EQ(std::vector<Uint8>(cursor->data, cursor->data + c.data.size()), c.data);
    EXPECT_EQ(std::vector<Uint8>(cursor->mask, cursor->mask + c.mask.size()), c.mask);
    SDL_FreeCursor(cursor);
  }
}

TEST_F(Xpm, MalformedTextGivesNoCursor) {
  const std::string row8(8, 'X');
  const std::string row1024(1024, '.');
  struct Case {
    const char* name;
    std::vector<const char*> lines;  // ended by a null pointer below
  };
  const auto colours = [](std::vector<const char*> head, std::vector<const char*> rest) {
    std::vector<const char*> all = head;
    for (const char* c : {"X c #000000", ". c #ffffff", "  c None"}) all.push_back(c);
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
  };
  const char* r = row8.c_str();
  std::vector<Case> cases = {
      {"empty array", {}},
      {"empty header", colours({""}, {r, "0,0"})},
      {"header without a height", colours({" 8 "}, {r, "0,0"})},
      {"header that is not a number", colours({"eight 1"}, {r, "0,0"})},
      {"zero width", colours({"0 1"}, {"", "0,0"})},
      {"zero height", colours({"8 0"}, {"0,0"})},
      {"negative width", colours({"-8 1"}, {r, "0,0"})},
      {"negative height", colours({"8 -1"}, {r, "0,0"})},
      {"width not a multiple of 8", colours({"12 1"}, {"XXXXXXXXXXXX", "0,0"})},
      {"width beyond int", colours({"4294967304 1"}, {r, "0,0"})},
      {"huge cursor", colours({"2147483640 2147483647"}, {r, "0,0"})},
      {"row shorter than the width", colours({"8 1"}, {"XXXXXXX", "0,0"})},
      {"missing row", colours({"8 2"}, {r, nullptr, "0,0"})},
      {"missing colour line", {"8 1", "X c #000000", nullptr}},
      {"missing hot spot", colours({"8 1"}, {r})},
      {"hot spot without a comma", colours({"8 1"}, {r, "0 0"})},
      {"blank before the comma", colours({"8 1"}, {r, "0 ,0"})},
      {"hot spot without y", colours({"8 1"}, {r, "0,"})},
      {"hot spot right of the cursor", colours({"8 1"}, {r, "8,0"})},
      {"hot spot below the cursor", colours({"8 1"}, {r, "0,1"})},
      {"negative hot spot", colours({"8 1"}, {r, "-1,0"})},
  };
  // Just past the size limit, with every row present: refused for its size alone.
  std::vector<const char*> tooBig = colours({"1024 1025"}, {});
  tooBig.insert(tooBig.end(), 1025, row1024.c_str());
  tooBig.push_back("0,0");
  cases.push_back({"one row more than 1024 x 1024", tooBig});
  // Under the pixel limit, but one row taller than SDL and X take.
  std::vector<const char*> tooTall = colours({"8 32768"}, {});
  tooTall.insert(tooTall.end(), 32768, r);
  tooTall.push_back("0,0");
  cases.push_back({"8 x 32768", tooTall});

  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.lines.push_back(nullptr);
    CursorBits bits;
    bits.width = -7;
    EXPECT_FALSE(xpmCursorBits(c.lines.data(), &bits));
    EXPECT_EQ(bits.width, -7) << "result touched";
    EXPECT_TRUE(bits.data.empty());
    EXPECT_EQ(cursorFromXpm(c.lines.data()), nullptr);
  }
  EXPECT_EQ(cursorFromXpm(nullptr), nullptr);

  // The largest cursors allowed are still made.
  std::vector<const char*> largest = colours({"1024 1024"}, {});
  largest.insert(largest.end(), 1024, row1024.c_str());
  largest.push_back("1023,1023");
  largest.push_back(nullptr);
  std::vector<const char*> tallest = colours({"8 32767"}, {});
  tallest.insert(tallest.end(), 32767, r);
  tallest.push_back("7,32766");
  tallest.push_back(nullptr);
  for (auto* lines : {&largest, &tallest}) {
    SDL_Cursor* cursor = cursorFromXpm(lines->data());
    EXPECT_NE(cursor, nullptr);
    SDL_FreeCursor(cursor);
  }
}

TEST_F(Xpm, NoCursorWithoutSdlVideo) {
  const std::vector<const char*> lines = {"8 1", "", "", "", "X.......", "0,0", nullptr};
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  EXPECT_EQ(cursorFromXpm(lines.data()), nullptr);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
  SDL_Cursor* cursor = cursorFromXpm(lines.data());
  EXPECT_NE(cursor, nullptr);
  SDL_FreeCursor(cursor);
}

TEST_F(Xpm, ExportedTextReadsBackAsACursorWithTransparentPadding) {
  const std::string image = folder + "/pattern.png";
  // Columns 0-9: black on the diagonal-ish pattern, white elsewhere, one clear pixel.
  const auto colour = [](int x, int y) {
    if (x == 9 && y == 2) return kClear;
    return (x + y) % 3 == 0 ? kBlack : kWhite;
  };
  writeRgbaPng(image, 10, 3, colour);
  const auto elements = exported(image);
  const auto lines = pointers(elements);

  SDL_Cursor* cursor = cursorFromXpm(lines.data());
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->area.w, 16);
  EXPECT_EQ(cursor->area.h, 3);
  EXPECT_EQ(cursor->hot_x, 0);
  EXPECT_EQ(cursor->hot_y, 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 16; ++x) {
      SCOPED_TRACE(std::to_string(x) + ", " + std::to_string(y));
      const int byte = y * 2 + x / 8;
      const int bit = 0x80 >> (x % 8);
      const bool opaque = x < 10 && colour(x, y)[3] == 255;
      const bool black = opaque && colour(x, y)[0] == 0;
      EXPECT_EQ((cursor->mask[byte] & bit) != 0, opaque);
      EXPECT_EQ((cursor->data[byte] & bit) != 0, black);
    }
  }
  SDL_FreeCursor(cursor);
}

TEST_F(Xpm, ExportCommandReportsThroughItsExitStatus) {
  const std::string tool = DEMO_BINARY_DIR "/xpm-export";
  const std::string image = folder + "/tool.png";
  writeRgbaPng(image, 9, 2, [](int x, int) { return x % 2 ? kBlack : kWhite; });
  const std::string expected = folder + "/expected.c";
  ASSERT_EQ(exportXpm(image.c_str(), expected.c_str()), 0);
  const std::string out = folder + "/tool.c";

  struct Case {
    const char* name;
    std::string arguments;
    int status;
    std::string message;  // what the single line on stderr starts with
  };
  const Case cases[] = {
      {"exports", image + " " + out, 0, ""},
      {"missing image", folder + "/nope.png " + out, 1, "cannot load \"" + folder + "/nope.png\""},
      {"unwritable output", image + " " + folder + "/none/x.c", 1,
       "cannot write \"" + folder + "/none/x.c\""},
      // A bad command line: the refusal, then the usage.
      {"no arguments", "", 2, "xpm-export: missing IMAGE\nusage: xpm-export IMAGE OUT.c"},
      {"one argument", image, 2, "xpm-export: missing OUT.c\nusage: xpm-export IMAGE OUT.c"},
      {"three arguments", image + " " + out + " extra", 2,
       "xpm-export: unexpected argument \"extra\"\nusage: xpm-export IMAGE OUT.c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string errors = folder + "/stderr.txt";
    const int raw = std::system((tool + " " + c.arguments + " 2>" + errors).c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), c.status);
    const std::string printed = readFile(errors);
    if (c.message.empty()) {
      EXPECT_EQ(printed, "");
      EXPECT_EQ(readFile(out), readFile(expected));
    } else {
      EXPECT_EQ(printed.rfind(c.message, 0), 0u) << printed;
      EXPECT_EQ(lineCount(printed), c.status == 2 ? 2 : 1) << printed;
    }
  }
}
