// Parts of a segmented capture: their frames, records, checks and the join.
#include "tools/capture/segments.h"

#include "platform/output_file.h"
#include "platform/regular_file.h"
#include "presentation/media.h"
#include "tools/common/numbers.h"
#include "tools/common/program_files.h"
#include "tools/common/stop_signals.h"

#include <dirent.h>
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
  while ((n = read(file, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
    for (ssize_t i = 0; i < n; ++i)
      h = (h ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
    bytes += n > 0 ? n : 0;
  }
  close(file);
  *hash = h;
  if (size) *size = bytes;
  return n == 0;
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

// Reads "part-K-of-N.<ending>" into k and n.
bool parsePartName(const std::string& name, const char* ending, int* k, int* n) {
  int used = 0;
  if (std::sscanf(name.c_str(), "part-%d-of-%d%n", k, n, &used) != 2) return false;
  return name.compare(static_cast<size_t>(used), std::string::npos, ending) == 0;
}

// The concat demuxer's list quotes names in single quotes; a quote inside
// one is closed, escaped and reopened.
std::string concatEntry(const std::string& path) {
  std::string quoted;
  for (char c : ffmpegFileName(path))
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return "file '" + quoted + "'\n";
}

}  // namespace

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
    if (o.width < kLargePictureWidth || std::string(file.name) == mediaName(MediaId::music))
      continue;
    if (!hashFile(o.mediaDir + "/" DEMO_LARGE_PICTURE_FOLDER "/" + file.name, &h, nullptr)) h = 0;
    media = (media ^ h) * 1099511628211ull;
  }
  std::string encoder;
  for (const std::string& arg : encoderArgs(s)) encoder += (encoder.empty() ? "" : " ") + arg;
  return "range " + seconds(o.from) + "-" + seconds(o.to) + "\nfps " + seconds(o.fps) + "\nsize " +
         std::to_string(o.width) + "x" + std::to_string(o.height) + "\nssaa " +
         std::to_string(o.ssaa) + "\nframe " + std::to_string(o.frameWidth) + "x" +
         std::to_string(o.frameHeight) + "\npreset " + (o.preset.empty() ? "-" : o.preset) +
         "\nfilters " + videoFilters(s) + "\nencoder " + encoder + "\nprogram " + program +
         "\nmedia " + hex(media) + "\n";
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
  std::string text, reason;
  struct stat s;
  if (!readRegularFile(recordPath(dir, k, n).c_str(), &text, &reason) ||
      stat(path.c_str(), &s) != 0) {
    return name + " missing";
  }
  std::map<std::string, std::string> found = recordFields(text);
  // The job's lines in their order, so the first difference named is the range's.
  std::istringstream wanted(job + "part " + std::to_string(k) + "/" + std::to_string(n) +
                            "\nframes " + frames(segmentFrames(total, k, n)));
  for (std::string line; std::getline(wanted, line);) {
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space), value = line.substr(space + 1);
    if (found[key] != value) {
      return name + " foreign (" + key + " " + (found[key].empty() ? "unset" : found[key]) +
             ", here " + value + ")";
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
    if (parsePartName(entry->d_name, ".txt", &k, &n) && n > 0) splits.emplace(n, entry->d_name);
  }
  closedir(folder);
  if (splits.size() == 1) return splits.begin()->first;
  if (splits.empty()) {
    *error = "no parts in \"" + dir + "\"";
  } else {
    *error = "parts of different splits in \"" + dir + "\":";
    for (const auto& split : splits) error->append(" " + split.second);
  }
  return 0;
}

void removePartsFolder(const std::string& dir) {
  DIR* folder = opendir(dir.c_str());
  if (!folder) return;
  while (const dirent* entry = readdir(folder)) removeIfRegularFile(dir + "/" + entry->d_name);
  closedir(folder);
  rmdir(dir.c_str());
}

bool joinParts(const std::string& dir, int n, long total, const std::string& job,
               const VideoSettings& sound, std::string* error) {
  std::string problems;
  for (int k = 1; k <= n; ++k) {
    const std::string problem = checkPart(dir, k, n, total, sound.path, job);
    if (!problem.empty()) problems += (problems.empty() ? "" : "; ") + problem;
  }
  if (!problems.empty()) {
    *error = "cannot join \"" + dir + "\": " + problems;
    return false;
  }
  char folder[PATH_MAX];
  if (!realpath(dir.c_str(), folder)) {
    *error = "cannot open \"" + dir + "\": " + std::strerror(errno);
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
