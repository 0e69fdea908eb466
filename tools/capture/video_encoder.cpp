// The ffmpeg child: raw frames in on stdin, its messages kept in an unlinked temp file.
#include "tools/capture/video_encoder.h"

#include "platform/regular_file.h"
#include "tools/common/numbers.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", v);
  return text;
}

// A file for ffmpeg's messages that is gone from the folder as soon as it is
// made: nothing is left behind however this process ends.
int makeLog(std::string* error) {
  char name[] = "/tmp/demo-capture-ffmpeg-XXXXXX";
  const int log = mkostemp(name, O_CLOEXEC);
  if (log < 0) {
    *error = std::string("cannot make a temp file for ffmpeg's messages: ") + std::strerror(errno);
    return -1;
  }
  unlink(name);
  return log;
}

// Starts args[0] (ffmpeg or ffprobe) with `args`, stdin from `input`,
// stdout and stderr into `log`.
pid_t spawnFfmpeg(std::vector<std::string> args, int input, int log) {
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // Its own process group keeps a terminal's Ctrl-C away from it: this
  // process ends it, and removes its file. If this process is killed
  // outright, the kernel ends ffmpeg too.
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  dup2(input, 0);
  dup2(log, 1);
  dup2(log, 2);
  std::signal(SIGPIPE, SIG_DFL);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

// A stop requested while waiting ends the child at once.
int waitFor(pid_t pid, const volatile std::sig_atomic_t* stop = nullptr) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    if (stop && *stop) kill(pid, SIGKILL);
  }
  return status;
}

std::string lastLineOf(int log) {
  std::string text, reason;
  readFromStart(log, &text, &reason);
  return lastLine(text);
}

}  // namespace

std::string ffmpegFileName(const std::string& path) { return "file:" + path; }

bool musicDecodes(const std::string& path, std::string* reason) {
  const int log = makeLog(reason);
  if (log < 0) return false;
  const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const pid_t pid =
      spawnFfmpeg({"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-i",
                   ffmpegFileName(path), "-map", "0:a:0", "-t", "1", "-f", "null", "-"},
                  input, log);
  if (input >= 0) close(input);
  const int status = pid > 0 ? waitFor(pid) : -1;
  const bool ok = pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!ok) {
    // ffmpeg starts its complaint with the name it was given; the caller names the file.
    std::string last = lastLineOf(log);
    const std::string prefix = ffmpegFileName(path) + ": ";
    if (last.compare(0, prefix.size(), prefix) == 0) last.erase(0, prefix.size());
    *reason = pid < 0 ? std::string("cannot start ffmpeg: ") + std::strerror(errno)
                      : "ffmpeg cannot decode its audio" + (last.empty() ? "" : " (" + last + ")");
  }
  close(log);
  return ok;
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

bool runMediaTool(std::vector<std::string> args, int input, std::string* output,
                  const volatile std::sig_atomic_t* stopRequested) {
  std::string error;
  const int log = makeLog(&error);
  if (log < 0) {
    *output = error;
    return false;
  }
  const int nothing = input < 0 ? open("/dev/null", O_RDONLY | O_CLOEXEC) : -1;
  const std::string program = args[0];
  const pid_t pid = spawnFfmpeg(std::move(args), input < 0 ? nothing : input, log);
  if (nothing >= 0) close(nothing);
  const int status = pid > 0 ? waitFor(pid, stopRequested) : -1;
  readFromStart(log, output, &error);
  close(log);
  if (pid < 0) *output = "cannot start " + program + ": " + std::strerror(errno);
  return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool VideoEncoder::start(const VideoSettings& s, std::string* error) {
  stopRequested_ = s.stopRequested;
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

  log_ = makeLog(error);
  int fds[2];
  if (log_ < 0 || pipe2(fds, O_CLOEXEC) != 0) {
    if (log_ >= 0) *error = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
    abandon();
    return false;
  }
  // A dead ffmpeg must show up as a failed write, not kill this process.
  std::signal(SIGPIPE, SIG_IGN);
  const pid_t pid = spawnFfmpeg(args, fds[0], log_);
  close(fds[0]);
  if (pid < 0) {
    close(fds[1]);
    *error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
    abandon();
    return false;
  }
  pid_ = pid;
  pipe_ = fds[1];
  // A pipe holds 64 KiB by default, a quarter of a 960x89 frame, so drawing
  // and encoding took turns. With room for a few frames the two processes
  // run side by side; a kernel that refuses keeps the default.
  fcntl(pipe_, F_SETPIPE_SZ, 1 << 20);
  return true;
}

bool VideoEncoder::writeFrame(const std::vector<uint8_t>& rgb, std::string* error) {
  size_t done = 0;
  while (done < rgb.size()) {
    if (stopRequested_ && *stopRequested_) {
      *error = "stopped";
      return false;
    }
    ssize_t n = write(pipe_, rgb.data() + done, rgb.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A video cut short is never committed, even when ffmpeg ended well.
      const std::string reason = std::strerror(errno);
      const std::string failure = failureOf(reap());
      abandon();
      *error =
          "ffmpeg stopped taking frames (" + reason + ")" + (failure.empty() ? "" : ": " + failure);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

int VideoEncoder::reap() {
  if (pipe_ >= 0) close(pipe_);
  pipe_ = -1;
  const int status = pid_ > 0 ? waitFor(pid_) : 0;
  pid_ = -1;
  return status;
}

std::string VideoEncoder::failureOf(int status) const {
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return "ffmpeg could not be started";
  const std::string last = lastLogLine();
  return "ffmpeg failed" + (last.empty() ? std::string() : ": " + last);
}

bool VideoEncoder::finish(std::string* error) {
  const std::string failure = failureOf(reap());
  bool ok = failure.empty();
  if (!ok) {
    *error = failure;
    abandon();
  } else {
    ok = commitOutput(&output_, error);
  }
  if (log_ >= 0) close(log_);
  log_ = -1;
  return ok;
}

void VideoEncoder::abandon() {
  if (pid_ > 0) kill(pid_, SIGKILL);
  reap();
  abandonOutput(&output_);
}

VideoEncoder::~VideoEncoder() {
  abandon();
  if (log_ >= 0) close(log_);
}

std::string VideoEncoder::lastLogLine() const { return lastLineOf(log_); }
