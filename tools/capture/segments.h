// Captures in segments: which frames a part holds, the record beside each
// part that says what job it belongs to, and the join of the parts into one
// video without re-encoding.
#pragma once

#include "tools/capture/options.h"
#include "tools/common/video_encoder.h"

#include <string>

// The frames of part `k` (from 1) of `n` equal runs of `total` frames; the
// last takes the remainder.
struct FrameRun {
  long first = 0;
  long count = 0;
};
FrameRun segmentFrames(long total, int k, int n);

// DIR/part-K-of-N.mp4 (the part's ending is the video's) and DIR/part-K-of-N.txt.
std::string partPath(const std::string& dir, int k, int n, const std::string& videoPath);
std::string recordPath(const std::string& dir, int k, int n);

// What every part of one job shares, as "key value" lines: range, fps,
// sizes, preset, encoder settings, and checksums of this program and of the
// media. `settings` are the part's encoder settings.
std::string jobLines(const CaptureOptions& options, const VideoSettings& settings);

// Writes the record of part `k` of `n`, rendered in `path` with `run`'s
// frames (the encoder checked that it holds exactly those).
bool writePartRecord(const std::string& dir, int k, int n, const FrameRun& run,
                     const std::string& path, const std::string& job, std::string* error);

// "" when part `k` of `n` in `dir` is complete and belongs to `job`;
// otherwise why not, starting with "missing" or "foreign".
std::string checkPart(const std::string& dir, int k, int n, long total,
                      const std::string& videoPath, const std::string& job);

// The number of parts the records in `dir` were split into; 0 with the
// reason in `error` when there are none or they disagree.
int partCountIn(const std::string& dir, std::string* error);

// Removes every regular file in `dir`, then the folder if that emptied it.
void removePartsFolder(const std::string& dir);

// Checks the `n` parts in `dir`, concatenates their video as it is, adds the
// sound of `sound` once (the music cut to the range) and writes
// `sound.path` through a temporary. False with one line in `error`.
bool joinParts(const std::string& dir, int n, long total, const std::string& job,
               const VideoSettings& sound, std::string* error);
