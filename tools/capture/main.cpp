// demo-capture: stills, frame sequences, storyboards and videos of the
// presentation, drawn headless at a fixed frame rate.
#include "tools/capture/options.h"
#include "tools/capture/progress.h"
#include "tools/capture/sheet.h"
#include "tools/capture/video_encoder.h"
#include "tools/offline/offline_render.h"
#include "tools/offline/png_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int failure(const std::string& message) {
  std::fprintf(stderr, "demo-capture: %s\n", message.c_str());
  return 1;
}

bool isDirectory(const std::string& path) {
  struct stat s;
  return stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Checked before any rendering, so a bad path costs no time.
bool checkWritableFile(const std::string& path, std::string* error) {
  if (isDirectory(path)) {
    *error = "cannot write \"" + path + "\": it is a folder";
    return false;
  }
  const std::string folder = folderOf(path);
  if (access(folder.c_str(), W_OK) != 0) {
    *error = "cannot write \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool prepareFolder(const std::string& folder, std::string* error) {
  if (!isDirectory(folder) && mkdir(folder.c_str(), 0777) != 0) {
    *error = "cannot make the folder \"" + folder + "\": " + std::strerror(errno);
    return false;
  }
  if (access(folder.c_str(), W_OK) != 0) {
    *error = "cannot write into \"" + folder + "\": " + std::strerror(errno);
    return false;
  }
  return true;
}

std::string framePath(const std::string& folder, long index) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame_%06ld.png", index);
  return folder + name;
}

std::string describeRange(const CaptureOptions& o, long frames) {
  char text[160];
  std::snprintf(text, sizeof text, "%ld frames (%.2f-%.2f s at %g fps)", frames, o.from, o.to,
                o.fps);
  return text;
}

int captureStill(const CaptureOptions& o) {
  std::vector<uint8_t> rgb;
  drawFrameAt(o.stillTime);
  readFrameRgb(o.width, o.height, &rgb);
  std::string error;
  if (!writePngRgb(o.target, o.width, o.height, rgb, &error)) {
    return failure("cannot write \"" + o.target + "\": " + error);
  }
  return 0;
}

int captureFrames(const CaptureOptions& o) {
  const long total = frameCount(o);
  Progress progress(total, "frames");
  std::vector<uint8_t> rgb;
  for (long i = 0; i < total; ++i) {
    drawFrameAt(frameTime(o, i));
    readFrameRgb(o.width, o.height, &rgb);
    std::string error;
    const std::string path = framePath(o.target, i);
    if (!writePngRgb(path, o.width, o.height, rgb, &error)) {
      return failure("cannot write \"" + path + "\" (frame " + std::to_string(i) + "): " + error);
    }
    progress.update(i + 1);
  }
  progress.finish("wrote " + describeRange(o, total) + " to " + o.target);
  return 0;
}

int captureSheet(const CaptureOptions& o) {
  const std::vector<double> times =
      o.sheetTimes.empty() ? spreadTimes(o.from, o.to, o.sheetCount) : o.sheetTimes;
  const int count = static_cast<int>(times.size());
  ContactSheet sheet(o.width, o.height, count, o.sheetColumns < count ? o.sheetColumns : count);
  std::vector<uint8_t> rgb;
  for (int i = 0; i < count; ++i) {
    drawFrameAt(times[static_cast<size_t>(i)]);
    readFrameRgb(o.width, o.height, &rgb);
    sheet.place(i, times[static_cast<size_t>(i)], rgb);
  }
  std::string error;
  if (!writePngRgb(o.target, sheet.width(), sheet.height(), sheet.pixels(), &error)) {
    return failure("cannot write \"" + o.target + "\": " + error);
  }
  return 0;
}

int captureVideo(const CaptureOptions& o, const std::string& musicPath) {
  const long total = frameCount(o);
  VideoSettings settings;
  settings.path = o.target;
  settings.width = o.width;
  settings.height = o.height;
  settings.fps = o.fps;
  settings.musicPath = musicPath;
  settings.musicStart = o.from;
  settings.duration = static_cast<double>(total) / o.fps;
  settings.bottomRowFirst = true;
  VideoEncoder encoder;
  std::string error;
  if (!encoder.start(settings, &error)) return failure(error);
  Progress progress(total, "video");
  std::vector<uint8_t> rgb;
  for (long i = 0; i < total; ++i) {
    drawFrameAt(frameTime(o, i));
    readFrameRgbBottomUp(o.width, o.height, &rgb);
    if (!encoder.writeFrame(rgb, &error)) {
      return failure("video stopped at frame " + std::to_string(i) + ": " + error);
    }
    progress.update(i + 1);
  }
  if (!encoder.finish(&error)) {
    return failure("cannot finish \"" + o.target + "\": " + error);
  }
  progress.finish("wrote " + describeRange(o, total) + " to " + o.target);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CaptureOptions options;
  std::string error;
  if (!parseCaptureOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "demo-capture: %s\n%s", error.c_str(), kCaptureUsage);
    return 2;
  }
  if (options.help) {
    std::printf("%s\n%s", kCaptureUsage, kCaptureHelp);
    return 0;
  }

  // Everything that can fail cheaply is checked before the first frame.
  std::string musicPath;
  switch (options.output) {
    case Output::Frames:
      if (!prepareFolder(options.target, &error)) return failure(error);
      break;
    case Output::Video:
      if (!ffmpegAvailable()) {
        return failure("ffmpeg is not installed (Debian package: ffmpeg)");
      }
      if (!checkWritableFile(options.target, &error)) return failure(error);
      musicPath = options.mediaDir + "/music.ogg";
      if (access(musicPath.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "demo-capture: no \"%s\" (%s); the video has no sound\n",
                     musicPath.c_str(), std::strerror(errno));
        musicPath.clear();
      }
      break;
    default:
      if (!checkWritableFile(options.target, &error)) return failure(error);
      break;
  }
  if (!isDirectory(options.mediaDir)) {
    return failure("cannot open the media folder \"" + options.mediaDir + "\"");
  }

  if (!startOfflineRendering(options.width, options.height, options.mediaDir, &error)) {
    return failure(error);
  }
  int status = 0;
  switch (options.output) {
    case Output::Still: status = captureStill(options); break;
    case Output::Frames: status = captureFrames(options); break;
    case Output::Sheet: status = captureSheet(options); break;
    case Output::Video: status = captureVideo(options, musicPath); break;
    case Output::None: break;
  }
  stopOfflineRendering();
  return status;
}
