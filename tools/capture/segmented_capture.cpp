// Segmented captures: parts rendered through the video's frame loop, their
// records, and the join that turns them into the video.
#include "tools/capture/segmented_capture.h"

#include "platform/output_file.h"
#include "platform/regular_file.h"
#include "tools/capture/capture_status.h"
#include "tools/capture/files.h"
#include "tools/capture/leftovers.h"
#include "tools/capture/progress.h"
#include "tools/capture/segments.h"
#include "tools/capture/video.h"
#include "tools/common/command_line.h"
#include "tools/common/stop_signals.h"

#include <sys/stat.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Part k of n: the video's settings on its own frames, without sound.
VideoSettings partSettings(const CaptureOptions& o, int k, int n) {
  VideoSettings settings = videoSettings(o, "", segmentFrames(frameCount(o), k, n).count);
  settings.path = partPath(o.partsDir, k, n, o.target);
  settings.withAudio = false;
  return settings;
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
    return failure(notWritableAsFile(record, s.st_mode));
  }
  const int status = encodeFrames(o, settings, {{o.from, run}}, frameCount(o), progress, done);
  std::string error;
  if (status == 0 && !writePartRecord(o.partsDir, k, n, run, settings.path, job, &error)) {
    return failure("cannot write \"" + record + "\": " + error);
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
                 videoSettings(o, musicPath, frameCount(o)), &error)) {
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

}  // namespace

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

int captureJoin(const CaptureOptions& o, const std::string& musicPath) {
  Progress progress(0, "join");
  int joined = 0;
  const int status = joinVideo(o, musicPath, &progress, &joined);
  if (status == 0 && o.removeParts) removeJoinedParts(o, joined);
  return status;
}

std::string partsToJoinProblem(const CaptureOptions& o) {
  std::string error;
  const int n = partsToJoin(o, &error);
  if (n == 0) return error;
  return checkParts(o.partsDir, n, frameCount(o), o.target, jobLines(o, partSettings(o, 1, n)));
}

bool outputIsAPart(const CaptureOptions& o) {
  char resolved[PATH_MAX];
  const std::string file = realpath(o.target.c_str(), resolved) ? resolved : o.target;
  struct stat parts, folder;
  return stat(o.partsDir.c_str(), &parts) == 0 && stat(folderOf(file).c_str(), &folder) == 0 &&
         parts.st_dev == folder.st_dev && parts.st_ino == folder.st_ino &&
         isPartName(file.substr(file.find_last_of('/') + 1));
}
