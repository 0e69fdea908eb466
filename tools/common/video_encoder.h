// Video output through an ffmpeg child process fed raw RGB frames on a pipe.
#pragma once

#include "platform/output_file.h"
#include "tools/common/child_process.h"

#include <cstdint>
#include <string>
#include <vector>

struct VideoSettings {
  std::string path;  // .mp4, .webm or .mkv, as the user gave it
  int width = 0;
  int height = 0;
  double fps = 60;
  std::string musicPath;  // muxed from `musicStart` for `duration` s; empty: a silent track
  double musicStart = 0;
  double duration = 0;
  // When set, replace the padding to even sizes and the encoder defaults of
  // the file's ending; the filter sees the frames upright.
  std::string filter;
  std::vector<std::string> codec;
  bool withAudio = true;  // false: no sound track at all (an animated picture)
};

class VideoEncoder {
 public:
  // Starts ffmpeg on a temporary file beside `settings.path`. False with one
  // line in `error` when it cannot run.
  bool start(const VideoSettings& settings, std::string* error);
  // One frame, width × height × 3 bytes in GL's row order, bottom row first
  // (ffmpeg flips it). False when ffmpeg
  // stopped taking frames, or when a stop signal was recorded meanwhile.
  bool writeFrame(const std::vector<uint8_t>& rgb, std::string* error);
  // Closes the pipe and waits for ffmpeg, which writes the file's index (and
  // a GIF's palette pass) last; a stop signal meanwhile ends it. The file
  // replaces the target only when ffmpeg ended well, logged no error, and
  // the file decodes and holds every frame written: ffmpeg exits 0 even when
  // it could not write its trailer.
  bool finish(std::string* error);
  // Ends ffmpeg at once, reaps it and removes the temporary file.
  void abandon();
  ~VideoEncoder();

 private:
  Child ffmpeg_;
  OutputFile output_;
  long framesWritten_ = 0;
  double fps_ = 60;
};

// "" when the finished video `path` decodes and holds `frames` frames at
// `fps`, else why not.
std::string checkVideoFile(const std::string& path, long frames, double fps);

// ffmpeg's second input, the sound (the music from its offset, or silence),
// and the maps of both inputs; nothing when the settings want no sound.
std::vector<std::string> soundInputArgs(const VideoSettings& settings);
// The codec and container arguments: the settings' own, or the defaults of
// the file's ending. They come in pairs of option and value.
std::vector<std::string> encoderArgs(const VideoSettings& settings);
// An ffmpeg run as the encoder makes one: in its own process group, its
// messages kept, ended by SIGKILL on a stop (this process removes its file).
ChildRun ffmpegChild(std::vector<std::string> args);

// Whether ffmpeg can decode the audio of `path`; the reason when not.
bool musicDecodes(const std::string& path, std::string* reason);

// The form of a file name that ffmpeg takes as a file: "take2:a.mp4" would
// name a protocol and "-a.mp4" an option.
std::string ffmpegFileName(const std::string& path);

// The -vf chain that turns the raw frames into what is encoded: flipped
// upright first, so that what follows places and pads the picture the right
// way up; then `settings.filter`, or an odd size made even and 4:2:0.
std::string videoFilters(const VideoSettings& settings);
