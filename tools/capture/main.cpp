// demo-capture: stills, frame sequences, storyboards and videos of the
// presentation, drawn headless at a fixed frame rate. This file reads the
// command line, checks what it can before the first frame and picks the
// output; each output is written by the file named for it.
#include "platform/output_file.h"
#include "platform/regular_file.h"
#include "presentation/headless_render.h"
#include "presentation/maker_layers.h"
#include "presentation/media.h"
#include "presentation/timeline.h"
#include "tools/capture/capture_status.h"
#include "tools/capture/composed_music.h"
#include "tools/capture/files.h"
#include "tools/capture/leftovers.h"
#include "tools/capture/montage.h"
#include "tools/capture/options.h"
#include "tools/capture/pictures.h"
#include "tools/capture/segmented_capture.h"
#include "tools/capture/segments.h"
#include "tools/capture/video.h"
#include "tools/common/command_line.h"
#include "tools/common/program_files.h"
#include "tools/common/stop_signals.h"
#include "tools/common/video_encoder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  CaptureOptions options;
  std::string error;
  if (!parseCaptureOptions(argc, argv, &options, &error) ||
      !(error = checkClips(options)).empty()) {
    std::fprintf(stderr, "demo-capture: %s\n%s", printable(error).c_str(), captureUsage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(captureHelp().c_str(), stdout);
    return 0;
  }
  // Everything that can fail cheaply is checked before the first frame; a
  // timeline file is read even when only the command line is checked.
  if (!options.timelinePath.empty()) {
    Timeline copy;
    // A refused file is bad input, as a bad option is: status 2.
    if (!loadTimeline(options.timelinePath, &copy, &error)) {
      failure("timeline " + error);
      return 2;
    }
    timeline::setActive(copy);
    if (!resolveCaptureTimes(copy, &options, &error)) {
      std::fprintf(stderr, "demo-capture: %s\n%s", printable(error).c_str(),
                   captureUsage().c_str());
      return 2;
    }
  }
  if (options.check) return 0;
  if (options.printTimeline) {
    const std::string listing = timelineListing(timeline::active());
    return std::fwrite(listing.data(), 1, listing.size(), stdout) == listing.size() &&
                   std::fflush(stdout) == 0
               ? 0
               : failure("cannot write the listing to stdout");
  }

  std::string musicPath;
  if (!options.partsDir.empty()) {
    char cwd[PATH_MAX];
    const std::string absolute = options.partsDir[0] == '/' || !getcwd(cwd, sizeof cwd)
                                     ? options.partsDir
                                     : std::string(cwd) + "/" + options.partsDir;
    const std::string unlisted = unlistablePath(absolute);
    if (!unlisted.empty()) {
      return failure("cannot use the parts folder \"" + options.partsDir + "\": " + unlisted);
    }
  }
  switch (options.output) {
    case Output::Frames:
      if (!prepareFolder(options.target, &error)) return failure(error);
      break;
    case Output::Video:
    case Output::Animation:
      if (!onPath("ffmpeg") || !onPath("ffprobe")) {
        return failure("ffmpeg or ffprobe is not installed (Debian package: ffmpeg)");
      }
      if (options.segment > 0) {
        if (!prepareFolder(options.partsDir, &error)) return failure(error);
        break;
      }
      if (!checkWritableFile(options.target, true, &error)) return failure(error);
      if (options.join && !isDirectory(options.partsDir)) {
        return failure("cannot open the parts folder \"" + options.partsDir + "\"");
      }
      if (options.join && outputIsAPart(options)) {
        return failure("cannot write \"" + options.target + "\": it is one of the parts in \"" +
                       options.partsDir + "\"");
      }
      if (options.segments > 0) {
        // The parts folder is this capture's own, OUT.parts: a link there
        // leads somewhere it did not make, and is not followed.
        struct stat s;
        if (lstat(options.partsDir.c_str(), &s) == 0 && S_ISLNK(s.st_mode)) {
          return failure("cannot use the parts folder \"" + options.partsDir +
                         "\": it is a link (give the folder itself with --segment and --join)");
        }
        if (!prepareFolder(options.partsDir, &error)) return failure(error);
      }
      if (options.output == Output::Animation) break;
      musicPath = options.mediaDir + "/" + mediaName(MediaId::music);
      if (!isReadableRegularFile(musicPath.c_str(), &error) || !musicDecodes(musicPath, &error)) {
        std::fprintf(stderr,
                     "demo-capture: cannot use \"%s\": %s; the video has a silent sound track\n",
                     musicPath.c_str(), error.c_str());
        musicPath.clear();
      }
      break;
    default:
      if (!checkWritableFile(options.target, false, &error)) return failure(error);
      break;
  }
  if (!isDirectory(options.mediaDir)) {
    return failure("cannot open the media folder \"" + options.mediaDir + "\"");
  }

  // One segmented capture or join at a time in a parts folder; the renders
  // of single parts share it. Held until the process ends.
  int lock = -1;  // never closed: the lock goes with the process
  if (!options.partsDir.empty() &&
      !lockPartsFolder(options.partsDir, options.segment > 0, &lock, &error)) {
    return failure(error);
  }

  removeLeftovers(options);
  holdStopSignals();
  // A video of another timeline has that timeline's music, composed here and
  // encoded into a temporary beside the video that is removed at the end.
  OutputFile timelineMusic;
  const bool composed =
      !options.timelinePath.empty() && options.output == Output::Video && options.segment == 0;
  if (composed && options.join) {
    // Foreign parts are refused before their music is composed, in one line.
    error = partsToJoinProblem(options);
    if (stopSignal()) {
      stopped(frameCount(options), frameCount(options));
      releaseStopSignals();
      return kStopped;
    }
    if (!error.empty()) return failure(error);
  }
  if (composed) {
    std::fprintf(stderr, "demo-capture: composing the music of %s\n", options.timelinePath.c_str());
    const int status = composeMusic(options.target, &timelineMusic, &error);
    if (status == kStopped) releaseStopSignals();
    if (status != 0) return status == kStopped ? status : failure(error);
    musicPath = timelineMusic.writePath;
  }
  if (options.join) {
    const int status = captureJoin(options, musicPath);
    if (composed) abandonOutput(&timelineMusic);
    if (status == kStopped) releaseStopSignals();
    return status;
  }
  // A strip shown at 1080p width or more takes the pictures drawn at twice
  // the window's size; supersampling alone does not change the pictures.
  if (!startHeadlessRendering(options.width * options.ssaa, options.height * options.ssaa,
                              options.mediaDir, &error, usesLargePictures(options.width))) {
    if (composed) abandonOutput(&timelineMusic);
    // A maker's layer that does not build is bad input, as a bad option is.
    const int status = makerLayersRefused() ? 2 : 1;
    failure(error);
    return status;
  }
  int status = 0;
  switch (options.output) {
    case Output::Still: status = captureStill(options); break;
    case Output::Frames: status = captureFrames(options); break;
    case Output::Sheet: status = captureSheet(options); break;
    case Output::Video:
      status = options.segment > 0    ? captureSegment(options)
               : options.segments > 0 ? captureSegments(options, musicPath)
                                      : captureVideo(options, musicPath);
      break;
    case Output::Animation:
      status = options.clips.empty() ? captureVideo(options, musicPath) : captureMontage(options);
      break;
    case Output::None: break;
  }
  stopHeadlessRendering();
  if (composed) abandonOutput(&timelineMusic);
  if (status == kStopped) releaseStopSignals();
  return status;
}
