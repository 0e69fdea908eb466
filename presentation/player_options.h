// The player's command line and where it finds its media.
#pragma once

#include <string>

struct PlayerOptions {
  bool fullscreen = false;
  std::string mediaDir;  // --media DIR; "" when not given
  int ssaa = 1;          // --ssaa N: each frame drawn N times larger, then reduced
  bool help = false;     // --help or -h
};

constexpr int kMaxPlayerSsaa = 4;

// "usage: demo [--fullscreen] [--media DIR] [--ssaa N]" and one line per option.
extern const char kPlayerUsage[];

// Reads argv[1..]. False with one line in `error` naming the option and the
// reason: an unknown option, a missing value, a --ssaa outside 1 to
// kMaxPlayerSsaa, a --media that is not a folder.
bool parsePlayerOptions(int argc, const char* const* argv, PlayerOptions* options,
                        std::string* error);

// Whether every file of the media list (presentation/media.h) is in `folder`.
bool hasMediaFiles(const std::string& folder);

// Whether any file of the media list is in `folder`.
bool hasAnyMediaFile(const std::string& folder);

// Where the player reads its media without --media: the working folder when
// any of the media are there (the missing ones are then named as they fail), else the first of
// `programFolder` and its media/ subfolder that has them (the build folder, an unpacked release);
// "" (the working folder, each missing file then named as it fails to load) when none has them.
std::string findMediaFolder(const std::string& programFolder);
