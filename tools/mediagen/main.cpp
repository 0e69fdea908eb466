// mediagen OUTDIR: writes every picture and the soundtrack the player loads.
//
// All media come from this code, so the repository carries no binary files
// and the build regenerates identical bytes on every run.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "presentation/media.h"
#include "tools/common/command_line.h"
#include "tools/common/music/music.h"
#include "tools/mediagen/image_io.h"
#include "tools/mediagen/media.h"
#include "tools/mediagen/text.h"

namespace fs = std::filesystem;
using namespace mediagen;

namespace {

struct Output {
  const char* name;
  // Returns false with the reason in `error`.
  std::function<bool(const std::string& path, std::string* error)> write;
};

// JPEG quality high enough that text edges show no ringing even when the
// 1080p and 4K presets show the pictures two and four times as large.
constexpr int kJpegQuality = 97;

std::vector<Output> outputs() {
  // A picture is written only if every font it was drawn with loaded.
  auto png = [](Image (*make)()) {
    return [make](const std::string& p, std::string* error) {
      const Image image = make();
      return fontsLoaded(error) && writePng(p, image, error);
    };
  };
  auto jpg = [](Image (*make)()) {
    return [make](const std::string& p, std::string* error) {
      const Image image = make();
      return fontsLoaded(error) && writeJpeg(p, image, kJpegQuality, error);
    };
  };
  return {
      {mediaName(MediaId::logo), jpg(makeLogo)},
      {mediaName(MediaId::noise), png(makeNoise)},
      {mediaName(MediaId::guruText), png(makeGuruText)},
      {mediaName(MediaId::guruRect), png(makeGuruRect)},
      {mediaName(MediaId::testhall), jpg(makeEndCard)},
      {mediaName(MediaId::starfield), png(makeStarfield)},
      {mediaName(MediaId::oldschool), png(makeOldschool)},
      {mediaName(MediaId::space), png(makeSpace)},
      {mediaName(MediaId::love), png(makeLove)},
      {mediaName(MediaId::scroller), png(makeScroller)},
      {mediaName(MediaId::music),
       [](const std::string& p, std::string* error) {
         return music::writeSoundtrack(p, timeline::builtin(), error);
       }},
  };
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  const std::vector<Option> table = {
      {"OUTDIR", "", "the folder the eleven media files go to (made if missing)",
       textIn(&folder, "a folder")},
  };
  std::string error;
  const Parsed parsed = parseCommandLine(table, argc, argv, &error);
  if (parsed == Parsed::help) {
    std::fputs((usageText("mediagen", table) +
                "\nWrites every picture and the soundtrack the presentation loads, the same\n"
                "bytes on every run.\n\n" +
                optionHelp(table))
                   .c_str(),
               stdout);
    return 0;
  }
  if (parsed == Parsed::bad) {
    std::fprintf(stderr, "mediagen: %s\n%s", error.c_str(), usageText("mediagen", table).c_str());
    return 2;
  }
  const fs::path outdir = folder;

  // Check fonts first so a missing package fails fast with one clear line.
  for (const FontFile& font : requiredFonts()) {
    const fs::path path = fs::path(fontDir()) / font.file;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
      std::fprintf(stderr, "mediagen: font file not found: %s (install %s)\n",
                   path.string().c_str(), font.package);
      return 1;
    }
  }

  // The pictures once at the window's size and once at twice it, in their
  // own folder, for strips drawn kLargePictureWidth wide or more.
  const fs::path largeDir = outdir / DEMO_LARGE_PICTURE_FOLDER;
  for (const fs::path& dir : {outdir, largeDir}) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir)) {
      std::fprintf(stderr, "mediagen: %s: cannot create directory: %s\n",
                   printable(dir.string()).c_str(),
                   ec ? ec.message().c_str() : "a file is in the way");
      return 1;
    }
  }
  const std::vector<Output> all = outputs();
  std::vector<std::pair<fs::path, Output>> jobs;
  for (const Output& out : all) jobs.push_back({outdir / out.name, out});
  for (const Output& out : all) {
    if (out.name != std::string(mediaName(MediaId::music)))
      jobs.push_back({largeDir / out.name, out});
  }

  int written = 0;
  for (const auto& [file, out] : jobs) {
    const std::string path = file.string();
    setDrawingScale(file.parent_path() == largeDir ? kLargePictureScale : 1);
    std::string msg;
    if (!out.write(path, &msg)) {
      // Writers name the path in their message; font failures may not,
      // so make sure the file is mentioned.
      if (msg.find(path) == std::string::npos) msg = path + ": " + msg;
      // The writers leave no half-written file: the target keeps what it had.
      std::fprintf(stderr, "mediagen: %s\n", printable(msg).c_str());
      return 1;
    }
    ++written;
  }
  std::printf("mediagen: wrote %d files to %s\n", written, outdir.string().c_str());
  return 0;
}
