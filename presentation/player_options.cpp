// The player's command line and its media lookup.
#include "presentation/player_options.h"

#include "platform/regular_file.h"
#include "presentation/media.h"

#include <cstdlib>
#include <cstring>

const char kPlayerUsage[] =
    "usage: demo [--fullscreen] [--media DIR] [--ssaa N] [--timeline FILE]\n"
    "  --fullscreen  play full screen, the strip at the screen's width (F toggles)\n"
    "  --media DIR   folder with the media files (default: the working folder when\n"
    "                they are there, else the program's folder or its media/)\n"
    "  --ssaa N      draw each frame N times wider and higher and average it down,\n"
    "                a whole number from 1 to 4 (costs about N*N the drawing)\n"
    "  --timeline FILE  play a copy of the timeline, with a maker's layers, to its\n"
    "                own music, composed first (not in the Windows build)\n";

namespace {

// `text` with control characters as '?', so that a refusal stays one line.
std::string shown(std::string text) {
  for (char& c : text) c = static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
  return text;
}

bool wholeNumberIn(const char* text, int low, int high, int* value) {
  char* end = nullptr;
  const long n = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || n < low || n > high) return false;
  *value = static_cast<int>(n);
  return true;
}

}  // namespace

bool parsePlayerOptions(int argc, const char* const* argv, PlayerOptions* options,
                        std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool takesValue = arg == "--media" || arg == "--ssaa";
    if (takesValue && i + 1 >= argc) {
      *error = "bad value for " + arg + ": missing";
      return false;
    }
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--fullscreen") {
      options->fullscreen = true;
    } else if (arg == "--media") {
      options->mediaDir = argv[++i];
      if (!isDirectory(options->mediaDir)) {
        *error = "bad value for --media: \"" + shown(options->mediaDir) + "\" (not a folder)";
        return false;
      }
    } else if (arg == "--ssaa") {
      const char* value = argv[++i];
      if (!wholeNumberIn(value, 1, kMaxPlayerSsaa, &options->ssaa)) {
        *error = "bad value for --ssaa: \"" + shown(value) + "\" (a whole number from 1 to " +
                 std::to_string(kMaxPlayerSsaa) + ")";
        return false;
      }
    } else {
      *error = "unknown option \"" + shown(arg) + "\"";
      return false;
    }
  }
  return true;
}

namespace {

// How many files of the media list are in `folder`.
size_t mediaFilesIn(const std::string& folder) {
  size_t count = 0;
  for (const MediaFile& file : kMediaFiles) {
    std::string reason;
    count += isReadableRegularFile((folder + "/" + file.name).c_str(), &reason);
  }
  return count;
}

}  // namespace

bool hasMediaFiles(const std::string& folder) {
  return mediaFilesIn(folder) == sizeof kMediaFiles / sizeof kMediaFiles[0];
}

bool hasAnyMediaFile(const std::string& folder) { return mediaFilesIn(folder) > 0; }

std::string findMediaFolder(const std::string& programFolder) {
  // A working folder with any of the media is the one meant, and whatever
  // is missing or spoilt there is named as it fails to load, instead of
  // being quietly taken from elsewhere.
  if (hasAnyMediaFile(".") || programFolder.empty()) return "";
  for (const std::string& folder : {programFolder, programFolder + "/media"}) {
    if (hasMediaFiles(folder)) return folder;
  }
  return "";
}
