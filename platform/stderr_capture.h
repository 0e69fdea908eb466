// Catches what a library prints on stderr during one call, so its complaint
// can be folded into the one line that the caller prints.
#pragma once

#include <functional>
#include <string>

// Runs `call` with file descriptor 2 sent to a temporary file and returns
// everything printed meanwhile. If stderr cannot be redirected, `call` runs
// as it is and "" is returned.
std::string stderrOf(const std::function<void()>& call);
// The last non-empty line of stderrOf(call), without its line end.
std::string lastStderrLineOf(const std::function<void()>& call);
