// Video output through an ffmpeg child process fed raw RGB frames on a pipe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct VideoSettings {
  std::string path;        // .mp4, .webm or .mkv
  int width = 0;
  int height = 0;
  double fps = 60;
  std::string musicPath;   // muxed from `musicStart` for `duration` s; empty: no audio
  double musicStart = 0;
  double duration = 0;
  bool bottomRowFirst = false;  // frames arrive in GL's row order; ffmpeg flips them
};

class VideoEncoder {
 public:
  // Starts ffmpeg. False with one line in `error` when it cannot run.
  bool start(const VideoSettings& settings, std::string* error);
  // One frame of width × height × 3 bytes, rows in the order the settings say.
  bool writeFrame(const std::vector<uint8_t>& rgb, std::string* error);
  // Closes the pipe and waits for ffmpeg, which writes the file's index last.
  bool finish(std::string* error);
  ~VideoEncoder();

 private:
  int pipe_ = -1;
  int pid_ = -1;
  std::string logPath_;
  std::string lastLogLine() const;
};

// The -vf chain that turns the raw frames into what is encoded: flipped when
// they come bottom row first, an odd size made even, 4:2:0.
std::string videoFilters(const VideoSettings& settings);

// True when an `ffmpeg` program is on the PATH.
bool ffmpegAvailable();
