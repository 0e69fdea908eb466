// Parts of a segmented capture: their frames, records, checks and the join.
#include "tools/capture/segments.h"

#include "platform/output_file.h"
#include "platform/regular_file.h"
#include "presentation/maker_layers.h"
#include "presentation/media.h"
#include "presentation/timeline.h"
#include "tools/common/command_line.h"
#include "tools/common/numbers.h"
#include "tools/common/program_files.h"
#include "tools/common/stop_signals.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

namespace {

// FNV-1a over a file's bytes: enough to tell two builds or two media sets
// apart, and quick beside the rendering. False when the file cannot be read.
bool hashFile(const std::string& path, uint64_t* hash, long long* size) {
  std::string reason;
  const int file = openRegularFile(path.c_str(), &reason);
  if (file < 0) return false;
  uint64_t h = 14695981039346656037ull;
  long long bytes = 0;
  static char buffer[1 << 16];
  ssize_t n;
  while (((n = read(file, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) &&
         !stopSignal()) {
    for (ssize_t i = 0; i < n; ++i)
      h = (h ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
    bytes += n > 0 ? n : 0;
  }
  close(file);
  *hash = h;
  if (size) *size = bytes;
  return n == 0 && !stopSignal();
}

// FNV-1a over a text, as hashFile over a file.
uint64_t hashText(const std::string& text) {
  uint64_t h = 14695981039346656037ull;
  for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

std::string hex(uint64_t value) {
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

std::string fileHash(const std::string& path) {
  uint64_t h = 0;
  return hashFile(path, &h, nullptr) ? hex(h) : "unreadable";
}

std::string baseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string seconds(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", v);
  return text;
}

std::string frames(const FrameRun& run) {
  return std::to_string(run.first) + "-" + std::to_string(run.first + run.count - 1);
}

// "key value" lines as a map; a line without a space has an empty value.
std::map<std::string, std::string> recordFields(const std::string& text) {
  std::map<std::string, std::string> fields;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const size_t space = line.find(' ');
    fields[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
  }
  return fields;
}

std::string fileLine(const std::string& path) {
  uint64_t h = 0;
  long long size = 0;
  if (!hashFile(path, &h, &size)) return "unreadable";
  return std::to_string(size) + " " + hex(h);
}

// Reads the digits at `*at` as a number up to `limit`; false for none, a
// leading zero or more (the count a forged name claims is never trusted).
bool readCount(const char** at, long limit, long* value) {
  const char* p = *at;
  if (*p < '1' || *p > '9') return false;
  long v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > limit) return false;
  }
  *value = v;
  *at = p;
  return true;
}

// Reads "part-K-of-N" and what follows it; K and N are read up to
// kMaxParts + 1, so that a name claiming more can be told apart.
bool parsePartName(const std::string& name, int* k, int* n, std::string* ending) {
  const char* p = name.c_str();
  long kv = 0, nv = 0;
  if (name.compare(0, 5, "part-") != 0) return false;
  p += 5;
  if (!readCount(&p, kMaxParts + 1, &kv) || std::strncmp(p, "-of-", 4) != 0) return false;
  p += 4;
  if (!readCount(&p, kMaxParts + 1, &nv)) {
    if (*p < '1' || *p > '9') return false;
    nv = kMaxParts + 1;  // more digits than any count allowed
    while (*p >= '0' && *p <= '9') ++p;
  }
  *k = static_cast<int>(kv);
  *n = static_cast<int>(nv);
  *ending = p;
  return true;
}

// The concat demuxer's list quotes names in single quotes; a quote inside
// one is closed, escaped and reopened. Its lines end at any line break, so
// unlistablePath() keeps those out.
std::string concatEntry(const std::string& path) {
  std::string quoted;
  for (char c : ffmpegFileName(path))
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return "file '" + quoted + "'\n";
}

}  // namespace

std::string unlistablePath(const std::string& path) {
  for (char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      return "its path holds the control character " + printable(std::string(1, c)) +
             ", which the list of parts handed to ffmpeg cannot carry";
    }
  }
  return "";
}

const char kPartsLock[] = ".capture-lock";

bool isPartName(const std::string& name) {
  int k = 0, n = 0;
  std::string ending;
  return parsePartName(name, &k, &n, &ending) && k <= n && n <= kMaxParts &&
         (ending == ".txt" || ending == ".mp4" || ending == ".webm" || ending == ".mkv");
}

FrameRun segmentFrames(long total, int k, int n) {
  const long size = total / n;
  return {size * (k - 1), k == n ? total - size * (n - 1) : size};
}

std::string partPath(const std::string& dir, int k, int n, const std::string& videoPath) {
  return dir + "/part-" + std::to_string(k) + "-of-" + std::to_string(n) +
         videoPath.substr(videoPath.find_last_of('.'));
}

std::string recordPath(const std::string& dir, int k, int n) {
  return dir + "/part-" + std::to_string(k) + "-of-" + std::to_string(n) + ".txt";
}

std::string jobLines(const CaptureOptions& o, const VideoSettings& s) {
  static const std::string program = fileHash(selfPath(""));
  uint64_t media = 14695981039346656037ull;
  for (const MediaFile& file : kMediaFiles) {
    // A missing file still counts, so that adding it changes the sum.
    uint64_t h = 0;
    if (!hashFile(o.mediaDir + "/" + file.name, &h, nullptr)) h = 0;
    media = (media ^ h) * 1099511628211ull;
    // A strip this wide is drawn with the large pictures (the music has none).
    if (!usesLargePictures(o.width) || std::string(file.name) == mediaName(MediaId::music))
      continue;
    if (!hashFile(o.mediaDir + "/" DEMO_LARGE_PICTURE_FOLDER "/" + file.name, &h, nullptr)) h = 0;
    media = (media ^ h) * 1099511628211ull;
  }
  // What the timeline draws, whatever its comments and spacing; the files
  // of its layers are summed by content on the record's `layers` line.
  const uint64_t timelineSum = hashText(drawnText(timeline::active()));
  std::string encoder;
  for (const std::string& arg : encoderArgs(s)) encoder += (encoder.empty() ? "" : " ") + arg;
  return "range " + seconds(o.from) + "-" + seconds(o.to) + "\nfps " + seconds(o.fps) + "\nsize " +
         std::to_string(o.width) + "x" + std::to_string(o.height) + "\nssaa " +
         std::to_string(o.ssaa) + "\nframe " + std::to_string(o.frameWidth) + "x" +
         std::to_string(o.frameHeight) + "\npreset " + (o.preset.empty() ? "-" : o.preset) +
         "\nfilters " + videoFilters(s) + "\nencoder " + encoder + "\nprogram " + program +
         "\nmedia " + hex(media) + "\ntimeline " + hex(timelineSum) + "\nlayers " +
         makerLayerFilesDigest(timeline::active(), o.mediaDir, usesLargePictures(o.width)) + "\n";
}

bool writePartRecord(const std::string& dir, int k, int n, const FrameRun& run,
                     const std::string& path, const std::string& job, std::string* error) {
  const std::string text = "part " + std::to_string(k) + "/" + std::to_string(n) + "\nframes " +
                           frames(run) + "\n" + job + "file " + fileLine(path) + "\n";
  return writeOutputFile(recordPath(dir, k, n), text.data(), text.size(), error);
}

std::string checkPart(const std::string& dir, int k, int n, long total,
                      const std::string& videoPath, const std::string& job) {
  const std::string path = partPath(dir, k, n, videoPath);
  const std::string name = baseName(path);
  const std::string record = recordPath(dir, k, n);
  std::string text, reason;
  struct stat s;
  if (lstat(record.c_str(), &s) != 0 || lstat(path.c_str(), &s) != 0) return name + " missing";
  if (!readRegularFile(record.c_str(), &text, &reason)) {
    return name + " foreign (its record " + baseName(record) + ": " + reason + ")";
  }
  std::map<std::string, std::string> found = recordFields(text);
  // The job's lines in their order, so the first difference named is the range's.
  std::istringstream wanted(job + "part " + std::to_string(k) + "/" + std::to_string(n) +
                            "\nframes " + frames(segmentFrames(total, k, n)));
  for (std::string line; std::getline(wanted, line);) {
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space), value = line.substr(space + 1);
    if (found[key] != value) {
      return name + " foreign (" + key + " " +
             (found[key].empty() ? "unset" : printable(found[key])) + ", here " + value + ")";
    }
  }
  if (found["file"] != fileLine(path)) return name + " foreign (not the file its record describes)";
  return "";
}

int partCountIn(const std::string& dir, std::string* error) {
  std::map<int, std::string> splits;  // a part count and one record that has it
  DIR* folder = opendir(dir.c_str());
  if (!folder) {
    *error = "cannot open \"" + dir + "\": " + std::strerror(errno);
    return 0;
  }
  while (const dirent* entry = readdir(folder)) {
    int k = 0, n = 0;
    std::string ending;
    if (parsePartName(entry->d_name, &k, &n, &ending) && ending == ".txt" && k <= n) {
      splits.emplace(n, entry->d_name);
    }
  }
  closedir(folder);
  if (!splits.empty() && splits.rbegin()->first > kMaxParts) {
    *error = "cannot join \"" + dir + "\": " + splits.rbegin()->second +
             " names more parts than the " + std::to_string(kMaxParts) + " a capture makes";
    return 0;
  }
  if (splits.size() == 1) return splits.begin()->first;
  if (splits.empty()) {
    *error = "no parts in \"" + dir + "\"";
  } else {
    *error = "parts of different splits in \"" + dir + "\":";
    for (const auto& split : splits) error->append(" " + split.second);
  }
  return 0;
}

bool lockPartsFolder(const std::string& dir, bool shared, int* lock, std::string* error) {
  const std::string path = dir + "/" + kPartsLock;
  // A run that removes the folder unlinks the lock while holding it: a lock
  // taken on that unlinked file is let go and the lock file opened anew.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      *error = "cannot lock the parts folder \"" + dir + "\": " + kPartsLock + ": " +
               std::strerror(errno);
      return false;
    }
    if (flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
      const int failure = errno;
      close(fd);
      if (failure == EWOULDBLOCK) {
        *error = "cannot use the parts folder \"" + dir + "\": another capture is using it";
        return false;
      }
      // A file system without locks: the run goes on unguarded rather than not at all.
      std::fprintf(stderr, "demo-capture: cannot lock \"%s\": %s; going on without the lock\n",
                   printable(path).c_str(), std::strerror(failure));
      *lock = -1;
      return true;
    }
    struct stat held, named;
    if (fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev) {
      *lock = fd;
      return true;
    }
    close(fd);
  }
  *error = "cannot use the parts folder \"" + dir + "\": another capture is using it";
  return false;
}

std::string removeParts(const std::string& dir, int n, const std::string& videoPath) {
  struct stat s;
  if (lstat(dir.c_str(), &s) != 0 || !S_ISDIR(s.st_mode)) {
    return "kept the parts in \"" + dir + "\": it is a link, not a folder";
  }
  for (int k = 1; k <= n; ++k) {
    removeIfRegularFile(partPath(dir, k, n, videoPath));
    removeIfRegularFile(recordPath(dir, k, n));
  }
  // What killed renders of these parts left: ".part-K-of-N.<ending>-..." and
  // ".part-K-of-N.txt-...", the temporaries named after them.
  const std::string videoEnding = videoPath.substr(videoPath.find_last_of('.'));
  if (DIR* folder = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(folder)) {
      int k = 0, count = 0;
      std::string ending;
      if (entry->d_name[0] != '.' || !parsePartName(entry->d_name + 1, &k, &count, &ending) ||
          count != n || k > n) {
        continue;
      }
      for (const std::string& own : {videoEnding, std::string(".txt")}) {
        if (ending.compare(0, own.size() + 1, own + "-") == 0) {
          removeIfRegularFile(dir + "/" + entry->d_name);
        }
      }
    }
    closedir(folder);
  }
  // The lock stays held through its descriptor until the process ends.
  removeIfRegularFile(dir + "/" + kPartsLock);
  if (rmdir(dir.c_str()) == 0 || errno == ENOENT) return "";
  return "kept the folder \"" + dir + "\": " +
         (errno == ENOTEMPTY || errno == EEXIST
              ? std::string("it holds files this capture did not make")
              : std::strerror(errno));
}

std::string checkParts(const std::string& dir, int n, long total, const std::string& videoPath,
                       const std::string& job) {
  // The first few problems are named, the rest counted.
  const int kNamed = 4;
  std::string problems;
  int found = 0;
  for (int k = 1; k <= n && !stopSignal(); ++k) {
    const std::string problem = checkPart(dir, k, n, total, videoPath, job);
    if (problem.empty()) continue;
    if (++found <= kNamed) problems += (problems.empty() ? "" : "; ") + problem;
  }
  if (stopSignal()) return "stopped";
  if (found > kNamed) problems += "; " + std::to_string(found - kNamed) + " more";
  // Parts made for a video of another kind are named, so that the join can
  // be given the ending they were made for.
  const std::string wanted = videoPath.substr(videoPath.find_last_of('.'));
  for (const char* ending : {".mp4", ".mkv", ".webm"}) {
    if (problems.empty() || wanted == ending) continue;
    std::string others;
    int count = 0;
    for (int k = 1; k <= n; ++k) {
      const std::string other = partPath(dir, k, n, ending);
      struct stat s;
      if (lstat(other.c_str(), &s) != 0) continue;
      if (++count <= kNamed) others += (count > 1 ? ", " : " ") + baseName(other);
    }
    if (count > kNamed) others += " and " + std::to_string(count - kNamed) + " more";
    if (count) problems += "; found parts ending " + std::string(ending) + ":" + others;
  }
  return problems.empty() ? "" : "cannot join \"" + dir + "\": " + problems;
}

bool joinParts(const std::string& dir, int n, long total, const std::string& job,
               const VideoSettings& sound, std::string* error) {
  *error = checkParts(dir, n, total, sound.path, job);
  if (!error->empty()) return false;
  char folder[PATH_MAX];
  if (!realpath(dir.c_str(), folder)) {
    *error = "cannot open \"" + dir + "\": " + std::strerror(errno);
    return false;
  }
  const std::string unlisted = unlistablePath(folder);
  if (!unlisted.empty()) {
    *error = "cannot join \"" + dir + "\": " + unlisted;
    return false;
  }
  std::string entries = "ffconcat version 1.0\n";
  for (int k = 1; k <= n; ++k) entries += concatEntry(partPath(folder, k, n, sound.path));
  OutputFile output;
  const int file = beginOutput(sound.path, sound.path.c_str() + sound.path.find_last_of('.'), false,
                               &output, error);
  if (file < 0) {
    *error = "cannot write \"" + sound.path + "\": " + *error;
    return false;
  }
  close(file);
  std::vector<std::string> args = {
      "ffmpeg",    "-hide_banner", "-nostdin", "-loglevel", "error", "-y", "-protocol_whitelist",
      "file,pipe", "-f",           "concat",   "-safe",     "0",     "-i", "pipe:0"};
  const std::vector<std::string> soundInput = soundInputArgs(sound);
  args.insert(args.end(), soundInput.begin(), soundInput.end());
  args.insert(args.end(), {"-c:v", "copy"});
  // The sound is encoded as a whole video's would be; the video settings
  // were the parts'.
  const std::vector<std::string> codec = encoderArgs(sound);
  for (size_t i = 0; i + 1 < codec.size(); i += 2) {
    if (codec[i] == "-c:a" || codec[i] == "-b:a" || codec[i] == "-q:a" || codec[i] == "-movflags") {
      args.insert(args.end(), {codec[i], codec[i + 1]});
    }
  }
  args.insert(args.end(), {"-t", seconds(sound.duration), ffmpegFileName(output.writePath)});
  // The list reaches ffmpeg on its standard input: nothing to leave behind.
  ChildRun run = ffmpegChild(args);
  run.input = [&entries](std::vector<uint8_t>* chunk) {
    chunk->assign(entries.begin(), entries.end());
    entries.clear();
    return !chunk->empty();
  };
  const ChildResult result = runChild(run);
  const std::string complaint = lastLine(result.err);
  const std::string problem =
      stopSignal() ? "stopped"
      : result.succeeded()
          ? checkVideoFile(output.writePath, total, sound.fps)
          : "ffmpeg failed: " + (complaint.empty() ? result.describe() : complaint);
  if (!problem.empty()) {
    *error = "cannot join \"" + dir + "\" into \"" + sound.path + "\": " + problem;
    abandonOutput(&output);
    return false;
  }
  return commitOutput(&output, error);
}
