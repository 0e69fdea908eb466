// The studio's temporary folder: named demo-studio-<PID>-XXXXXX and holding a
// record of every file the run made in it, so that the run itself, or a later
// one after the run was killed, removes exactly those files and the folder.
#pragma once

#include <string>

// Makes a private folder demo-studio-<PID>-XXXXXX in `parent` with its
// record; false with the reason in `error`.
bool makeScratchFolder(const std::string& parent, std::string* folder, std::string* error);

// Adds `name` (a bare file name) to the folder's record; call it before the
// file is made, so that a kill while it is written still finds it.
bool recordScratchFile(const std::string& folder, const std::string& name, std::string* error);

// Removes the recorded file `name` of this run's folder, and what the output
// writer had under a temporary name for it.
void removeScratchFile(const std::string& folder, const std::string& name);

// Removes the folder made by the process `pid`: only regular files its record
// names (and their writer's temporaries carrying `pid`), then the record,
// then the folder if that left it empty. Never through a link, and nothing
// when the record is missing or names another process. True when the folder
// is gone.
bool removeScratchFolder(const std::string& folder, long pid);

// Removes the folders in `parent` left by studios that no longer run
// (`makerRuns(pid)` false): a run killed outright leaves its folder behind.
void removeLeftoverScratchFolders(const std::string& parent, bool (*makerRuns)(long pid));

// Whether a process `pid` runs (kill with signal 0).
bool processRuns(long pid);

// $TMPDIR, or /tmp.
std::string temporaryParent();
