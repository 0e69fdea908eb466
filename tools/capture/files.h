// The capture's file-system steps: checking a target, making folders and
// naming and clearing the PNGs of a frame sequence.
#pragma once

#include <sys/types.h>

#include <string>

// The line refusing to write `path` as a file when it is of `mode`: a folder
// or anything else that is not a regular file.
std::string notWritableAsFile(const std::string& path, mode_t mode);

// Whether `path` can be written, checked before any rendering so that a bad
// path costs no time. A PNG may go to an existing device or FIFO
// (`regularOnly` false); a video is only ever a file.
bool checkWritableFile(const std::string& path, bool regularOnly, std::string* error);

// Makes the folder and any missing parents, and checks it can be written into.
bool prepareFolder(const std::string& folder, std::string* error);

// FOLDER/frame_000042.png for frame 42 of a sequence.
std::string framePath(const std::string& folder, long index);

// Removes the regular files named frame_<number>.png with a number from
// `first` on: what an earlier, longer capture left.
void removeFramesFrom(const std::string& folder, long first);
