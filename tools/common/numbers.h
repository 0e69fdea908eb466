// Command-line numbers and time lists, their median, and file-name endings for the tools.
#pragma once

#include <string>
#include <vector>

// A whole finite decimal number; false on trailing text, overflow or nothing.
bool parseNumber(const char* text, double* value);
// "T,T,..." of at least one and at most 1000 seconds, none negative; the
// times are appended to `times`.
bool parseTimes(const char* text, std::vector<double>* times);
// Middle value (mean of the middle two for an even count); 0 when empty.
double median(std::vector<double> values);
bool endsWith(const std::string& s, const char* suffix);
