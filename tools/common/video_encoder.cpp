// The ffmpeg child: raw frames in on stdin, its messages kept in an unlinked temp file.
#include "tools/common/video_encoder.h"

#include "platform/regular_file.h"
#include "tools/common/numbers.h"
#include "tools/common/stop_signals.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", v);
  return text;
}

std::string startFailure() { return std::string("cannot start ffmpeg: ") + std::strerror(errno); }

uint32_t littleEndian(const std::string& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + size_t(i)]);
  return v;
}

// ffmpeg's own reader does not take animated WebP, so the file is read as
// RIFF chunks: their sizes must add up to the file, and the frames' durations
// (ANMF chunks; the encoder merges identical neighbours into one longer
// frame) to the time of the frames written, within one frame.
std::string checkWebp(const std::string& path, long frames, double fps) {
  std::string bytes, reason;
  if (!readRegularFile(path.c_str(), &bytes, &reason)) return "cannot read it back: " + reason;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WEBP") != 0 ||
      littleEndian(bytes, 4, 4) + 8 != bytes.size()) {
    return "not a whole WebP file";
  }
  double ms = 0;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const size_t size = littleEndian(bytes, at + 4, 4);
    if (bytes.compare(at, 4, "ANMF") == 0 && at + 24 <= bytes.size()) {
      ms += littleEndian(bytes, at + 8 + 12, 3);
    }
    at += 8 + size + size % 2;
  }
  const double expected = static_cast<double>(frames) * 1000 / fps;
  if (std::fabs(ms - expected) > 1000 / fps + 1) {
    return "it holds " + number(ms / 1000) + " s of frames instead of " + number(expected / 1000);
  }
  return "";
}

}  // namespace

ChildRun ffmpegChild(std::vector<std::string> args) {
  ChildRun run;
  run.args = std::move(args);
  run.out = ChildOutput::discard;
  run.err = ChildOutput::keep;
  // Its own process group keeps a terminal's Ctrl-C away from it: this
  // process ends it, and removes its file.
  run.ownGroup = true;
  run.endSignal = SIGKILL;
  return run;
}

std::string ffmpegFileName(const std::string& path) { return "file:" + path; }

bool musicDecodes(const std::string& path, std::string* reason) {
  const ChildResult result =
      runChild(ffmpegChild({"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-i",
                            ffmpegFileName(path), "-map", "0:a:0", "-t", "1", "-f", "null", "-"}));
  if (result.status < 0) {
    *reason = startFailure();
    return false;
  }
  if (result.succeeded()) return true;
  // ffmpeg starts its complaint with the name it was given; the caller names the file.
  std::string last = lastLine(result.err);
  const std::string prefix = ffmpegFileName(path) + ": ";
  if (last.compare(0, prefix.size(), prefix) == 0) last.erase(0, prefix.size());
  *reason = "ffmpeg cannot decode its audio" + (last.empty() ? "" : " (" + last + ")");
  return false;
}

std::string checkVideoFile(const std::string& path, long frames, double fps) {
  struct stat s;
  if (stat(path.c_str(), &s) != 0 || s.st_size == 0) return "ffmpeg wrote nothing";
  if (endsWith(path, ".webp")) return checkWebp(path, frames, fps);
  ChildRun run = ffmpegChild({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                              "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0",
                              ffmpegFileName(path)});
  run.out = ChildOutput::keep;
  const ChildResult probe = runChild(run);
  if (probe.status < 0) return std::string("cannot start ffprobe: ") + std::strerror(errno);
  const std::string problem = lastLine(probe.err);
  if (!probe.succeeded() || !problem.empty()) {
    return "it does not decode" + (problem.empty() ? "" : " (" + problem + ")");
  }
  double count = 0;
  if (!parseNumber(lastLine(probe.out).c_str(), &count) || count != static_cast<double>(frames)) {
    return "it holds " + lastLine(probe.out) + " frames of the " + std::to_string(frames) +
           " written";
  }
  return "";
}

// 4:2:0 needs even sizes, so an odd width or height gets one more column or
// row. That line repeats its neighbour, which it is drawn beside: a black
// line would show as a dark seam, and chroma shared between the last row and
// a black one would bleed into the picture. The fill works on planar RGB
// (left to itself, ffmpeg would hand it 4:2:0, whose last chroma row it would
// overwrite with the one above), so the chroma of the last two rows is
// theirs.
std::string videoFilters(const VideoSettings& s) {
  std::string filters = "vflip,";
  if (!s.filter.empty()) return filters + s.filter;
  const int right = s.width % 2, bottom = s.height % 2;
  if (right || bottom) {
    filters += "format=gbrp,pad=" + std::to_string(s.width + right) + ":" +
               std::to_string(s.height + bottom) + ",fillborders=right=" + std::to_string(right) +
               ":bottom=" + std::to_string(bottom) + ":mode=smear,";
  }
  return filters + "format=yuv420p";
}

std::vector<std::string> soundInputArgs(const VideoSettings& s) {
  std::vector<std::string> args;
  if (s.withAudio && !s.musicPath.empty()) {
    // Seeking an audio input decodes up to the offset, so the cut is exact.
    args.insert(args.end(), {"-ss", number(s.musicStart), "-t", number(s.duration), "-i",
                             ffmpegFileName(s.musicPath), "-map", "0:v", "-map", "1:a"});
  } else if (s.withAudio) {
    // No usable music: a silent track, so the video has sound as the player's run does.
    args.insert(args.end(),
                {"-f", "lavfi", "-t", number(s.duration), "-i",
                 "anullsrc=channel_layout=stereo:sample_rate=44100", "-map", "0:v", "-map", "1:a"});
  }
  return args;
}

std::vector<std::string> encoderArgs(const VideoSettings& s) {
  std::vector<std::string> args;
  if (!s.codec.empty()) {
    args.insert(args.end(), s.codec.begin(), s.codec.end());
  } else if (endsWith(s.path, ".webm")) {
    args.insert(args.end(), {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0", "-row-mt", "1"});
    args.insert(args.end(), {"-c:a", "libopus", "-b:a", "160k"});
  } else {
    // The encoder shares the CPU with the software rasteriser. On 9 s of the
    // bumpy bar, the box and the plasma, the faster preset tuned for PSNR at
    // CRF 13 comes closer to the frames than ultrafast at CRF 12 (44.1 against
    // 43.4 dB in 4:2:0) in a file 35% smaller, for 7 times its encoding CPU,
    // which is still small beside drawing the frames.
    args.insert(args.end(),
                {"-c:v", "libx264", "-preset", "faster", "-tune", "psnr", "-crf", "13"});
    if (endsWith(s.path, ".mkv")) {
      args.insert(args.end(), {"-c:a", "libvorbis", "-q:a", "6"});
    } else {
      args.insert(args.end(), {"-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart"});
    }
  }
  return args;
}

bool VideoEncoder::start(const VideoSettings& s, std::string* error) {
  fps_ = s.fps;
  const size_t dot = s.path.find_last_of('.');
  const int file = beginOutput(s.path, s.path.c_str() + dot, false, &output_, error);
  if (file < 0) {
    *error = "cannot write \"" + s.path + "\": " + *error;
    return false;
  }
  close(file);
  std::vector<std::string> args = {
      "ffmpeg",     "-hide_banner", "-nostdin",
      "-loglevel",  "error",        "-y",
      "-f",         "rawvideo",     "-pix_fmt",
      "rgb24",      "-s",           std::to_string(s.width) + "x" + std::to_string(s.height),
      "-framerate", number(s.fps),  "-i",
      "pipe:0"};
  const std::vector<std::string> sound = soundInputArgs(s);
  args.insert(args.end(), sound.begin(), sound.end());
  args.insert(args.end(), {"-vf", videoFilters(s)});
  if (s.filter.empty()) args.insert(args.end(), {"-pix_fmt", "yuv420p"});
  const std::vector<std::string> codec = encoderArgs(s);
  args.insert(args.end(), codec.begin(), codec.end());
  args.insert(args.end(), {"-t", number(s.duration), ffmpegFileName(output_.writePath)});

  ChildRun run = ffmpegChild(args);
  run.pipedInput = true;
  if (!startChild(run, &ffmpeg_)) {
    *error = startFailure();
    abandon();
    return false;
  }
  // A pipe holds 64 KiB by default, a quarter of a 960x89 frame, so drawing
  // and encoding took turns. With room for a few frames the two processes
  // run side by side; a kernel that refuses keeps the default.
  fcntl(ffmpeg_.input, F_SETPIPE_SZ, 1 << 20);
  return true;
}

namespace {

// "" for a clean end of ffmpeg with nothing in its error log, else what went wrong.
std::string failureOf(const ChildResult& result) {
  if (result.status >= 0 && WIFEXITED(result.status) && WEXITSTATUS(result.status) == 127) {
    return "ffmpeg could not be started";
  }
  const std::string last = lastLine(result.err);
  if (result.succeeded() && last.empty()) return "";
  return "ffmpeg failed" + (last.empty() ? " (" + result.describe() + ")" : ": " + last);
}

}  // namespace

bool VideoEncoder::writeFrame(const std::vector<uint8_t>& rgb, std::string* error) {
  size_t done = 0;
  while (done < rgb.size()) {
    if (stopSignal()) {
      *error = "stopped";
      return false;
    }
    ssize_t n = write(ffmpeg_.input, rgb.data() + done, rgb.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A video cut short is never committed, even when ffmpeg ended well.
      const std::string reason = std::strerror(errno);
      const std::string failure = failureOf(waitChild(&ffmpeg_));
      abandon();
      *error =
          "ffmpeg stopped taking frames (" + reason + ")" + (failure.empty() ? "" : ": " + failure);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  ++framesWritten_;
  return true;
}

bool VideoEncoder::finish(std::string* error) {
  const ChildResult result = waitChild(&ffmpeg_);
  std::string failure = stopSignal() ? "stopped" : failureOf(result);
  if (failure.empty()) failure = checkVideoFile(output_.writePath, framesWritten_, fps_);
  if (!failure.empty()) {
    *error = failure;
    abandon();
    return false;
  }
  return commitOutput(&output_, error);
}

void VideoEncoder::abandon() {
  endChild(&ffmpeg_);
  abandonOutput(&output_);
}

VideoEncoder::~VideoEncoder() { abandon(); }
