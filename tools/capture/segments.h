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
// sizes, preset, encoder settings, and checksums of this program, of the
// media and of the active timeline's text. `settings` are the part's encoder
// settings.
std::string jobLines(const CaptureOptions& options, const VideoSettings& settings);

// Writes the record of part `k` of `n`, rendered in `path` with `run`'s
// frames (the encoder checked that it holds exactly those).
bool writePartRecord(const std::string& dir, int k, int n, const FrameRun& run,
                     const std::string& path, const std::string& job, std::string* error);

// "" when part `k` of `n` in `dir` is complete and belongs to `job`;
// otherwise why not, starting with "missing" or "foreign".
std::string checkPart(const std::string& dir, int k, int n, long total,
                      const std::string& videoPath, const std::string& job);

// "" when all `n` parts in `dir` are complete and belong to `job`;
// otherwise "cannot join" with the first few problems, or "stopped".
std::string checkParts(const std::string& dir, int n, long total, const std::string& videoPath,
                       const std::string& job);

// The most parts a range is split into.
const int kMaxParts = 10000;

// Whether `name` (without a folder) is a part's or a record's name:
// part-K-of-N with 1 <= K <= N <= kMaxParts and a video ending or ".txt".
bool isPartName(const std::string& name);

// The number of parts the records in `dir` were split into; 0 with the
// reason in `error` when there are none, they disagree, or a record's name
// claims more than kMaxParts.
int partCountIn(const std::string& dir, std::string* error);

// "" when the absolute path of a parts folder can be named in the list of
// parts that the join hands to ffmpeg; otherwise why not (a control
// character: a line break in it would start a line of its own).
std::string unlistablePath(const std::string& path);

// Holds the parts folder `dir` for this run: shared by the renders of single
// parts (a batch renders many at once), exclusive for a whole segmented
// capture and for a join. False at once with the reason when another
// capture holds it. The lock is the file kPartsLock in the folder.
extern const char kPartsLock[];
bool lockPartsFolder(const std::string& dir, bool shared, int* lock, std::string* error);

// Removes the `n` parts of `videoPath`'s kind and their records from `dir`,
// by name and only as regular files, then the lock's name and the folder
// when that emptied it. Nothing is removed through a folder that is a link.
// Returns "" when the folder went, else why it was kept.
std::string removeParts(const std::string& dir, int n, const std::string& videoPath);

// Checks the `n` parts in `dir`, concatenates their video as it is, adds the
// sound of `sound` once (the music cut to the range) and writes
// `sound.path` through a temporary. False with one line in `error`.
bool joinParts(const std::string& dir, int n, long total, const std::string& job,
               const VideoSettings& sound, std::string* error);
