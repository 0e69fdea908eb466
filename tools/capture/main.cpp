// demo-capture: stills, frame sequences, storyboards and videos of the
// presentation, drawn headless at a fixed frame rate.
#include "gpu/supersample.h"
#include "platform/output_file.h"
#include "platform/regular_file.h"
#include "presentation/headless_render.h"
#include "presentation/maker_layers.h"
#include "presentation/media.h"
#include "presentation/timeline.h"
#include "tools/capture/montage.h"
#include "tools/capture/options.h"
#include "tools/capture/presets.h"
#include "tools/capture/progress.h"
#include "tools/capture/segments.h"
#include "tools/capture/sheet.h"
#include "tools/common/command_line.h"
#include "tools/common/music/music.h"
#include "tools/common/png_file.h"
#include "tools/common/program_files.h"
#include "tools/common/stop_signals.h"
#include "tools/common/video_encoder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The status a capture returns when a stop signal ended it: main then ends
// the process by that signal, so the shell sees 128 + its number.
const int kStopped = -1;

int stopped(long frame, long total) {
  std::fprintf(stderr, "\ndemo-capture: stopped at frame %ld of %ld\n", frame, total);
  return kStopped;
}

int failure(const std::string& message) {
  std::fprintf(stderr, "demo-capture: %s\n", printable(message).c_str());
  return 1;
}

// Checked before any rendering, so a bad path costs no time. A PNG may go
// to an existing device or FIFO; a video is only ever a file.
bool checkWritableFile(const std::string& path, bool regularOnly, std::string* error) {
  struct stat s;
  const bool exists = stat(path.c_str(), &s) == 0;
  if (exists && (S_ISDIR(s.st_mode) || (regularOnly && !S_ISREG(s.st_mode)))) {
    *error = "cannot write \"" + path +
             "\": " + (S_ISDIR(s.st_mode) ? "it is a folder" : "not a regular file");
    return false;
  }
  const std::string folder = folderOf(path);
  if (access(folder.c_str(), W_OK) != 0) {
    *error = "cannot write \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  return true;
}

// Makes the folder and any missing parents.
bool prepareFolder(const std::string& folder, std::string* error) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (!isDirectory(part) && mkdir(part.c_str(), 0777) != 0) {
      *error = "cannot make the folder \"" + part + "\": " +
               (errno == EEXIST ? "a file of that name is in the way" : std::strerror(errno));
      return false;
    }
    if (slash == std::string::npos) break;
  }
  if (access(folder.c_str(), W_OK) != 0) {
    *error = "cannot write into \"" + folder + "\": " + std::strerror(errno);
    return false;
  }
  return true;
}

// The folder of a frame sequence being written, inside the target: the PID
// tells a later run whether its maker still runs.
const char kFramesPrefix[] = ".frames-";

// Whether `pid` is a capture that still runs, and so owns its temporaries.
bool captureRuns(long pid) {
  std::FILE* comm = std::fopen(("/proc/" + std::to_string(pid) + "/comm").c_str(), "r");
  if (!comm) return false;
  char name[32] = "";
  const bool read = std::fgets(name, sizeof name, comm) != nullptr;
  std::fclose(comm);
  return read && std::strcmp(name, "demo-capture\n") == 0;
}

std::string framePath(const std::string& folder, long index) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame_%06ld.png", index);
  return folder + name;
}

// Removes the regular files named frame_<number>.png with a number from
// `first` on: what an earlier, longer capture left.
void removeFramesFrom(const std::string& folder, long first) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    char* end = nullptr;
    if (name.compare(0, 6, "frame_") != 0 || name.size() < 7 || !std::isdigit(name[6])) continue;
    const long index = std::strtol(name.c_str() + 6, &end, 10);
    if (std::strcmp(end, ".png") != 0 || index < first) continue;
    removeIfRegularFile(folder + "/" + name);
  }
  closedir(dir);
}

// What captures to the same target left when they were killed outright: a
// video's temporary beside it, or a frame folder's staging folder inside it
// with its PNGs. Only files and folders of processes that no longer run as a
// capture are removed, and only regular files and the folders they leave empty.
void removeLeftovers(const CaptureOptions& o) {
  if (o.output == Output::Video || o.output == Output::Animation) {
    removeLeftoverTemporaries(o.target, o.target.c_str() + o.target.find_last_of('.'), captureRuns);
  }
  // The music a --timeline video composes beside it; a run without one
  // clears them too.
  if (o.output == Output::Video && o.segment == 0) {
    removeLeftoverTemporaries(o.target, ".ogg", captureRuns);
  }
  if (o.output != Output::Frames) return;
  DIR* dir = opendir(o.target.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    const long pid = temporaryMaker(entry->d_name, kFramesPrefix, "");
    const std::string staging = o.target + "/" + entry->d_name;
    if (pid <= 0 || captureRuns(pid) || !isDirectory(staging)) continue;
    removeFramesFrom(staging, 0);
    rmdir(staging.c_str());
  }
  closedir(dir);
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
  readFrameReduced(o.width, o.height, o.ssaa, RowOrder::topFirst, &rgb);
  if (stopSignal()) return stopped(0, 1);
  std::string error;
  if (!writePngRgb(o.target, o.width, o.height, rgb, &error)) {
    return failure("cannot write \"" + o.target + "\": " + error);
  }
  return 0;
}

// The frames go to a hidden folder inside the target and move into place
// once all are written, so a failed or stopped run leaves the folder as it was.
int captureFrames(const CaptureOptions& o) {
  const long total = frameCount(o);
  std::string staging = o.target + "/" + kFramesPrefix + std::to_string(getpid()) + "-XXXXXX";
  if (!mkdtemp(staging.data())) {
    return failure("cannot write into \"" + o.target + "\": " + std::strerror(errno));
  }
  auto discard = [&] {
    removeFramesFrom(staging, 0);
    rmdir(staging.c_str());
  };
  Progress progress(total, "frames");
  std::vector<uint8_t> rgb;
  for (long i = 0; i < total; ++i) {
    if (stopSignal()) {
      discard();
      return stopped(i, total);
    }
    drawFrameAt(frameTime(o, i));
    readFrameReduced(o.width, o.height, o.ssaa, RowOrder::topFirst, &rgb);
    std::string error;
    if (!writePngRgb(framePath(staging, i), o.width, o.height, rgb, &error)) {
      discard();
      return failure("cannot write \"" + framePath(o.target, i) + "\" (frame " + std::to_string(i) +
                     "): " + error);
    }
    progress.update(i + 1);
  }
  for (long i = 0; i < total; ++i) {
    if (rename(framePath(staging, i).c_str(), framePath(o.target, i).c_str()) != 0) {
      const std::string reason = std::strerror(errno);
      discard();
      return failure("cannot write \"" + framePath(o.target, i) + "\": " + reason);
    }
  }
  rmdir(staging.c_str());
  removeFramesFrom(o.target, total);
  progress.finish("wrote " + describeRange(o, total) + " to " + o.target);
  return 0;
}

int captureSheet(const CaptureOptions& o) {
  const std::vector<double> times =
      o.sheetTimes.empty() ? spreadTimes(o.from, o.to, o.sheetCount) : o.sheetTimes;
  const int count = static_cast<int>(times.size());
  ContactSheet sheet(o.width, o.height, count, o.sheetColumns);
  std::vector<uint8_t> rgb;
  for (int i = 0; i < count; ++i) {
    if (stopSignal()) return stopped(i, count);
    drawFrameAt(times[static_cast<size_t>(i)]);
    readFrameReduced(o.width, o.height, o.ssaa, RowOrder::topFirst, &rgb);
    sheet.place(i, times[static_cast<size_t>(i)], rgb);
  }
  std::string error;
  if (!writePngRgb(o.target, sheet.width(), sheet.height(), sheet.pixels(), &error)) {
    return failure("cannot write \"" + o.target + "\": " + error);
  }
  return 0;
}

// The encoder settings of the whole video.
VideoSettings videoSettings(const CaptureOptions& o, const std::string& musicPath) {
  VideoSettings settings;
  settings.path = o.target;
  settings.width = o.width;
  settings.height = o.height;
  settings.fps = o.fps;
  settings.musicPath = musicPath;
  settings.musicStart = o.from;
  settings.duration = static_cast<double>(frameCount(o)) / o.fps;
  applyVideoPreset(o, &settings);
  return settings;
}

// Part k of n: the video's settings on its own frames, without sound.
VideoSettings partSettings(const CaptureOptions& o, int k, int n) {
  VideoSettings settings = videoSettings(o, "");
  settings.path = partPath(o.partsDir, k, n, o.target);
  settings.duration = static_cast<double>(segmentFrames(frameCount(o), k, n).count) / o.fps;
  settings.withAudio = false;
  return settings;
}

// Draws `run`'s frames of the range through an encoder on `settings`;
// `progress` counts on from `done`. 0, kStopped, or 1 with the reason printed.
int encodeFrames(const CaptureOptions& o, const VideoSettings& settings, FrameRun run,
                 Progress* progress, long done) {
  const long total = frameCount(o);
  VideoEncoder encoder;
  std::string error;
  if (!encoder.start(settings, &error)) return failure(error);
  std::vector<uint8_t> rgb;
  for (long i = run.first; i < run.first + run.count; ++i) {
    if (stopSignal()) {
      encoder.abandon();
      return stopped(i, total);
    }
    drawFrameAt(frameTime(o, i));
    readFrameReduced(o.width, o.height, o.ssaa, RowOrder::bottomFirst, &rgb);
    if (!encoder.writeFrame(rgb, &error)) {
      encoder.abandon();
      if (stopSignal()) return stopped(i, total);
      return failure("cannot finish \"" + settings.path + "\": video stopped at frame " +
                     std::to_string(i) + ": " + error);
    }
    progress->update(done + i - run.first + 1);
  }
  if (stopSignal()) {
    encoder.abandon();
    return stopped(run.first + run.count, total);
  }
  if (!encoder.finish(&error)) {
    if (stopSignal()) return stopped(run.first + run.count, total);
    return failure("cannot finish \"" + settings.path + "\": " + error);
  }
  return 0;
}

int captureVideo(const CaptureOptions& o, const std::string& musicPath) {
  const long total = frameCount(o);
  Progress progress(total, "video");
  const int status = encodeFrames(o, videoSettings(o, musicPath), {0, total}, &progress, 0);
  if (status == 0) progress.finish("wrote " + describeRange(o, total) + " to " + o.target);
  return status;
}

// Part k of n and its record, over what a killed render of it left.
int renderPart(const CaptureOptions& o, int k, int n, const std::string& job, Progress* progress,
               long done) {
  const FrameRun run = segmentFrames(frameCount(o), k, n);
  const VideoSettings settings = partSettings(o, k, n);
  removeLeftoverTemporaries(settings.path, settings.path.c_str() + settings.path.find_last_of('.'),
                            captureRuns);
  removeLeftoverTemporaries(recordPath(o.partsDir, k, n), "", captureRuns);
  // A record that cannot be written is known before the part is drawn.
  const std::string record = recordPath(o.partsDir, k, n);
  struct stat s;
  if (lstat(record.c_str(), &s) == 0 && !S_ISREG(s.st_mode)) {
    return failure("cannot write \"" + record +
                   "\": " + (S_ISDIR(s.st_mode) ? "it is a folder" : "not a regular file"));
  }
  const int status = encodeFrames(o, settings, run, progress, done);
  std::string error;
  if (status == 0 && !writePartRecord(o.partsDir, k, n, run, settings.path, job, &error)) {
    return failure("cannot write \"" + record + "\": " + error);
  }
  return status;
}

int captureSegment(const CaptureOptions& o) {
  const int k = o.segment, n = o.segments;
  const FrameRun run = segmentFrames(frameCount(o), k, n);
  Progress progress(run.count, "part " + std::to_string(k) + "/" + std::to_string(n));
  const int status = renderPart(o, k, n, jobLines(o, partSettings(o, 1, n)), &progress, 0);
  if (status == 0) {
    progress.finish("wrote frames " + std::to_string(run.first) + "-" +
                    std::to_string(run.first + run.count - 1) + " of " +
                    describeRange(o, frameCount(o)) + " to " +
                    partPath(o.partsDir, k, n, o.target));
  }
  return status;
}

// How many parts a join takes; 0 with the reason in `error`.
int partsToJoin(const CaptureOptions& o, std::string* error) {
  return o.segments > 0 ? o.segments : partCountIn(o.partsDir, error);
}

int joinVideo(const CaptureOptions& o, const std::string& musicPath, Progress* progress,
              int* parts) {
  std::string error;
  const int n = partsToJoin(o, &error);
  if (n == 0) return failure(error);
  *parts = n;
  const auto start = std::chrono::steady_clock::now();
  if (!joinParts(o.partsDir, n, frameCount(o), jobLines(o, partSettings(o, 1, n)),
                 videoSettings(o, musicPath), &error)) {
    return stopSignal() ? stopped(frameCount(o), frameCount(o)) : failure(error);
  }
  char took[32];
  std::snprintf(took, sizeof took, " (the join %.1f s)",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  progress->finish("joined " + std::to_string(n) + " parts" + took + ": " +
                   describeRange(o, frameCount(o)) + " into " + o.target);
  return 0;
}

// Once the video is in place: this run's parts and records go, and their
// folder when nothing else is left in it.
void removeJoinedParts(const CaptureOptions& o, int n) {
  const std::string kept = removeParts(o.partsDir, n, o.target);
  if (!kept.empty()) std::fprintf(stderr, "segments: %s\n", printable(kept).c_str());
}

// Every part in OUT.parts/ that is not complete yet, then the join; the
// parts go once the video is in place.
int captureSegments(const CaptureOptions& o, const std::string& musicPath) {
  const int n = o.segments;
  const long total = frameCount(o);
  const std::string job = jobLines(o, partSettings(o, 1, n));
  std::vector<int> left;
  long done = 0;
  for (int k = 1; k <= n; ++k) {
    if (checkPart(o.partsDir, k, n, total, o.target, job).empty()) {
      done += segmentFrames(total, k, n).count;
    } else {
      left.push_back(k);
    }
  }
  if (left.size() < static_cast<size_t>(n)) {
    std::fprintf(stderr, "segments: %d of %d already done\n", n - static_cast<int>(left.size()), n);
  }
  Progress progress(total, "video", done);
  for (int k : left) {
    const int status = renderPart(o, k, n, job, &progress, done);
    if (status != 0) return status;
    done += segmentFrames(total, k, n).count;
  }
  int joined = 0;
  const int status = joinVideo(o, musicPath, &progress, &joined);
  if (status == 0) removeJoinedParts(o, joined);
  return status;
}

// Whether the file the output would replace (the target, or the file its
// link names) is a part or a record in the parts folder.
bool outputIsAPart(const CaptureOptions& o) {
  char resolved[PATH_MAX];
  const std::string file = realpath(o.target.c_str(), resolved) ? resolved : o.target;
  struct stat parts, folder;
  return stat(o.partsDir.c_str(), &parts) == 0 && stat(folderOf(file).c_str(), &folder) == 0 &&
         parts.st_dev == folder.st_dev && parts.st_ino == folder.st_ino &&
         isPartName(file.substr(file.find_last_of('/') + 1));
}

}  // namespace

bool stopRecorded() { return stopSignal() != 0; }

// The active timeline's music, composed into a temporary beside `video`
// that the caller removes at the end. A stop signal ends the composing
// within a fraction of a second: kStopped, with the temporary removed.
int composeMusic(const std::string& video, OutputFile* music, std::string* error) {
  const int fd = beginOutput(video, ".ogg", false, music, error);
  if (fd < 0) return 1;
  std::FILE* file = fdopen(fd, "wb");
  if (!file) {
    *error = "cannot write the music beside \"" + video + "\": " + std::strerror(errno);
    close(fd);
    abandonOutput(music);
    return 1;
  }
  errno = 0;
  const bool encoded = music::encodeSoundtrack(file, timeline::active(), error, stopRecorded);
  const std::string reason = !encoded     ? *error
                             : errno != 0 ? std::strerror(errno)
                                          : "the write stopped short";
  const bool written = std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  const std::string closeReason = closed ? "" : std::strerror(errno);
  if (encoded && written && closed && !stopSignal()) return 0;
  abandonOutput(music);
  if (stopSignal()) {
    std::fprintf(stderr, "demo-capture: stopped while composing the music\n");
    return kStopped;
  }
  *error = "cannot write the music beside \"" + video +
           "\": " + (encoded && written ? closeReason : reason);
  return 1;
}

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
    const int n = partsToJoin(options, &error);
    if (n > 0) {
      error = checkParts(options.partsDir, n, frameCount(options), options.target,
                         jobLines(options, partSettings(options, 1, n)));
    }
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
    Progress progress(0, "join");
    int joined = 0;
    const int status = joinVideo(options, musicPath, &progress, &joined);
    if (status == 0 && options.removeParts) removeJoinedParts(options, joined);
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
