// Where the running program's file lies, for a program that finds its data
// beside itself wherever it is started from.
#pragma once

#include <string>

// The absolute folder of the running executable, links resolved; "" where the
// system cannot say (the browser).
std::string executableFolder();
