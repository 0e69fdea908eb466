// The ffmpeg child: raw frames in on stdin, its messages kept in a temp file.
#include "tools/capture/video_encoder.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool endsWith(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

std::string number(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", v);
  return text;
}

}  // namespace

// 4:2:0 needs even sizes, so an odd width or height gets one more column or
// row. That line repeats its neighbour, which it is drawn beside: a black
// line would show as a dark seam, and chroma shared between the last row and
// a black one would bleed into the picture. The fill works on planar RGB
// (left to itself, ffmpeg would hand it 4:2:0, whose last chroma row it would
// overwrite with the one above), so the chroma of the last two rows is
// theirs.
std::string videoFilters(const VideoSettings& s) {
  const int right = s.width % 2, bottom = s.height % 2;
  std::string filters = s.bottomRowFirst ? "vflip," : "";
  if (right || bottom) {
    filters += "format=gbrp,pad=" + std::to_string(s.width + right) + ":" +
               std::to_string(s.height + bottom) + ",fillborders=right=" + std::to_string(right) +
               ":bottom=" + std::to_string(bottom) + ":mode=smear,";
  }
  return filters + "format=yuv420p";
}

bool ffmpegAvailable() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/ffmpeg";
    if (access(candidate.c_str(), X_OK) == 0) return true;
  }
  return false;
}

bool VideoEncoder::start(const VideoSettings& s, std::string* error) {
  std::vector<std::string> args = {
      "ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
      "-f", "rawvideo", "-pix_fmt", "rgb24", "-s",
      std::to_string(s.width) + "x" + std::to_string(s.height),
      "-framerate", number(s.fps), "-i", "pipe:0"};
  if (!s.musicPath.empty()) {
    // Seeking an audio input decodes up to the offset, so the cut is exact.
    args.insert(args.end(), {"-ss", number(s.musicStart), "-t", number(s.duration), "-i",
                             s.musicPath, "-map", "0:v", "-map", "1:a"});
  }
  args.insert(args.end(), {"-vf", videoFilters(s), "-pix_fmt", "yuv420p"});
  if (endsWith(s.path, ".webm")) {
    args.insert(args.end(), {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0", "-row-mt", "1"});
    if (!s.musicPath.empty()) args.insert(args.end(), {"-c:a", "libopus", "-b:a", "160k"});
  } else {
    // The encoder shares the CPU with the software rasteriser. On 6 s of the
    // bar, the bumpy bar and the box, the ultrafast preset at CRF 12 comes
    // closer to the frames than veryfast at CRF 14 (45.0 against 40.2 dB PSNR
    // in 4:2:0) for 40% of its encoding CPU; the file is 2.5 times larger.
    args.insert(args.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "12"});
    if (!s.musicPath.empty()) {
      if (endsWith(s.path, ".mkv")) {
        args.insert(args.end(), {"-c:a", "libvorbis", "-q:a", "6"});
      } else {
        args.insert(args.end(), {"-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart"});
      }
    }
  }
  args.insert(args.end(), {"-t", number(s.duration), s.path});

  char logTemplate[] = "/tmp/demo-capture-ffmpeg-XXXXXX";
  int log = mkstemp(logTemplate);
  if (log < 0) {
    *error = std::string("cannot make a temp file for ffmpeg's messages: ") + std::strerror(errno);
    return false;
  }
  logPath_ = logTemplate;
  int fds[2];
  if (pipe(fds) != 0) {
    close(log);
    *error = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
    return false;
  }
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[0], 0);
    dup2(log, 1);
    dup2(log, 2);
    close(fds[0]);
    close(fds[1]);
    close(log);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp("ffmpeg", argv.data());
    _exit(127);
  }
  close(fds[0]);
  close(log);
  if (pid < 0) {
    close(fds[1]);
    *error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
    return false;
  }
  pid_ = pid;
  pipe_ = fds[1];
  // A pipe holds 64 KiB by default, a quarter of a 960x89 frame, so drawing
  // and encoding took turns. With room for a few frames the two processes
  // run side by side; a kernel that refuses keeps the default.
  fcntl(pipe_, F_SETPIPE_SZ, 1 << 20);
  // A dead ffmpeg must show up as a failed write, not kill this process.
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}

bool VideoEncoder::writeFrame(const std::vector<uint8_t>& rgb, std::string* error) {
  size_t done = 0;
  while (done < rgb.size()) {
    ssize_t n = write(pipe_, rgb.data() + done, rgb.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string reason = std::strerror(errno);
      finish(error);
      *error = "ffmpeg stopped taking frames (" + reason + ")" +
               (error->empty() ? "" : ": " + *error);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool VideoEncoder::finish(std::string* error) {
  if (pipe_ >= 0) close(pipe_);
  pipe_ = -1;
  if (pid_ < 0) return true;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!ok) {
    const std::string last = lastLogLine();
    *error = WIFEXITED(status) && WEXITSTATUS(status) == 127
                 ? "ffmpeg could not be started"
                 : "ffmpeg failed" + (last.empty() ? std::string() : ": " + last);
  }
  if (!logPath_.empty()) unlink(logPath_.c_str());
  logPath_.clear();
  return ok;
}

VideoEncoder::~VideoEncoder() {
  if (pid_ > 0) kill(pid_, SIGKILL);
  std::string ignored;
  finish(&ignored);
}

std::string VideoEncoder::lastLogLine() const {
  std::ifstream in(logPath_);
  std::string line, last;
  while (std::getline(in, line)) {
    if (!line.empty()) last = line;
  }
  return last;
}
