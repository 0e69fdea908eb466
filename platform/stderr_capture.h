// Catches what a library prints on stderr during one call, so its complaint
// can be folded into the one line that the caller prints.
#pragma once

#include <functional>
#include <string>

// Runs `call` with file descriptor 2 sent to a temporary file and returns the
// last non-empty line printed meanwhile ("" when nothing was). If stderr
// cannot be redirected, `call` runs as it is.
std::string lastStderrLineOf(const std::function<void()>& call);
