// Finding programs: on the PATH, and beside the running one.
#pragma once

#include <string>

// True when `program` is an executable file in a folder of PATH, searched
// as execvp searches it (an empty entry is the working folder; without PATH,
// /usr/bin and /bin).
bool onPath(const std::string& program);

// The running program's own file, from /proc/self/exe; `fallback` when that
// cannot be read.
std::string selfPath(const std::string& fallback);

// A program built beside the running one, such as demo-capture beside
// demo-bench; `name` alone, to be looked up on PATH, when that folder is unknown.
std::string programBeside(const std::string& name);
