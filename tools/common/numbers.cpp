// Number parsing and small statistics shared by the capture tool and the benchmark.
#include "tools/common/numbers.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <strings.h>

bool parseNumber(const char* text, double* value) {
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool parseTimes(const char* text, std::vector<double>* times) {
  if (!text || !*text) return false;
  std::stringstream list(text);
  std::string item;
  while (std::getline(list, item, ',')) {
    double t = 0;
    if (!parseNumber(item.c_str(), &t) || t < 0 || t > kMaxSeconds) return false;
    times->push_back(t);
  }
  return !times->empty() && times->size() <= 1000;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) * 0.5;
}

bool endsWith(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

std::string lastLine(const std::string& text) {
  const size_t end = text.find_last_not_of("\r\n");
  if (end == std::string::npos) return "";
  const size_t start = text.find_last_of("\r\n", end);
  return text.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start + 1));
}
