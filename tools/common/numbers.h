// Command-line numbers and time lists, their median, file-name endings and
// log lines for the tools.
#pragma once

#include <string>
#include <vector>

// A whole finite decimal number; false on trailing text, overflow or nothing.
bool parseNumber(const char* text, double* value);
// The longest stretch of time the tools take, in seconds: frame counts and
// progress figures stay far inside a long's range.
constexpr double kMaxSeconds = 86400;

// "T,T,..." of at least one and at most 1000 times, each 0 to kMaxSeconds;
// the times are appended to `times`.
bool parseTimes(const char* text, std::vector<double>* times);
// Middle value (mean of the middle two for an even count); 0 when empty.
double median(std::vector<double> values);
// Whether `s` ends in `suffix`, ignoring ASCII case (".PNG" is a PNG name).
bool endsWith(const std::string& s, const char* suffix);
// The last line of a program's log that holds anything, lines ended by \n
// or, as progress lines are, by \r; "" when there is none.
std::string lastLine(const std::string& text);
