// Outputs that replace their target only when complete.
#pragma once

#include <cstdio>
#include <string>

// Bytes are written under a temporary name in the target's folder and renamed
// onto the target at the end, so a failed or interrupted write leaves the
// target as it was. An existing device or FIFO (/dev/null, a pipe) cannot be
// replaced that way: it is written in place, and never renamed or removed.
struct OutputFile {
  std::string finalPath;  // what is replaced: the target, or the file its link names
  std::string writePath;  // where the bytes go
  bool inPlace = false;   // writePath is an existing device or FIFO
};

// Picks where the bytes of `target` go and opens it for writing. The
// temporary is named ".<name>-<PID>-XXXXXX<suffix>" (a suffix keeps the
// ending that tells a program like ffmpeg the format; the PID tells a later
// run whether its maker still runs). With `allowInPlace` false an
// existing non-regular target is refused. Returns the descriptor, or -1 with
// the reason in `error`.
int beginOutput(const std::string& target, const char* suffix, bool allowInPlace, OutputFile* out,
                std::string* error);

// Moves the finished temporary onto the target; on failure removes it.
bool commitOutput(OutputFile* out, std::string* error);

// Removes the temporary if it is still a regular file; the target is never touched.
void abandonOutput(OutputFile* out);

// Unlinks `path` only when it is a regular file itself, not a link to one:
// as root, a wrong name must never take a device node, a FIFO or a folder.
void removeIfRegularFile(const std::string& path);

// beginOutput() as a stdio stream, for writers that produce their bytes as
// they go; null with the reason in `error`.
std::FILE* beginOutputStream(const std::string& target, OutputFile* out, std::string* error);

// Closes `file`. When `written` is true and the close succeeds the file
// replaces the target (commitOutput); otherwise the temporary is removed.
// False with the reason in `error` (empty when `written` was already false).
bool finishOutputStream(std::FILE* file, bool written, OutputFile* out, std::string* error);

// `size` bytes made in memory to `target` through the two above; false with
// the reason in `error`.
bool writeOutputFile(const std::string& target, const void* bytes, size_t size, std::string* error);

// The PID in a temporary's file name `name` of the form
// "<prefix><PID>-XXXXXX<suffix>", or -1 when it has another form.
long temporaryMaker(const std::string& name, const std::string& prefix, const std::string& suffix);

// Removes the temporaries beginOutput() made for `target` with `suffix` whose
// maker no longer runs (`makerRuns(pid)` false): what a process killed
// outright left beside the target. Only regular files are removed.
void removeLeftoverTemporaries(const std::string& target, const char* suffix,
                               bool (*makerRuns)(long pid));
