// Reading, writing and holding the timeline.
#include "presentation/timeline.h"

#include "platform/regular_file.h"
#include "presentation/window.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

constexpr Fade Timeline::*kFadeMembers[] = {
#define DEMO_FADE_POINTER(name, at, rate, in) &Timeline::name,
    DEMO_FADE_LIST(DEMO_FADE_POINTER)
#undef DEMO_FADE_POINTER
};

// A name from the file as it may appear in a message: quoted, with control
// characters and quotes escaped.
std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c < 0x20 || c == 0x7f || c == '"' || c == '\\') {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", c);
      out += code;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string f; in >> f;) fields.push_back(f);
  return fields;
}

// A time or a rate: the whole field a finite number.
bool number(const std::string& field, float* value) {
  if (field.empty()) return false;
  errno = 0;
  char* end = nullptr;
  *value = std::strtof(field.c_str(), &end);
  return *end == '\0' && errno == 0 && std::isfinite(*value);
}

// The fewest decimals that read back to the same float.
std::string numberText(float v) {
  char text[48];
  for (int decimals = 0; decimals <= 9; ++decimals) {
    std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(v));
    if (std::strtof(text, nullptr) == v) break;
  }
  return text;
}

std::string fadeLine(const std::string& name, const Fade& f) {
  return name + " " + numberText(f.at) + " " + numberText(f.rate) + (f.in ? " in" : " out");
}

// Seconds within the timeline, or why not.
std::string timeProblem(const std::string& field, float* value) {
  if (!number(field, value)) return "not a number: " + quoted(field);
  if (*value < 0 || *value > kEndTime) return field + " is outside 0 to 130 s";
  return "";
}

}  // namespace

Fade& Timeline::fade(int index) { return this->*kFadeMembers[index]; }
const Fade& Timeline::fade(int index) const { return this->*kFadeMembers[index]; }

bool Timeline::sameFades(const Timeline& other) const {
  for (int i = 0; i < kFadeCount; ++i) {
    if (fade(i).at != other.fade(i).at || fade(i).rate != other.fade(i).rate) return false;
  }
  return true;
}

std::vector<NamedFade> Timeline::allFades() const {
  std::vector<NamedFade> all;
  for (int i = 0; i < kFadeCount; ++i) all.push_back({kFadeNames[i], fade(i)});
  all.insert(all.end(), extraFades.begin(), extraFades.end());
  return all;
}

int fadeIndex(const std::string& name) {
  for (int i = 0; i < kFadeCount; ++i) {
    if (name == kFadeNames[i]) return i;
  }
  return -1;
}

bool parseTimeline(const std::string& text, const std::string& file, Timeline* out,
                   std::string* error) {
  Timeline t;
  int lineOf[kFadeCount] = {};
  int number_ = 0;
  std::string problem;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    ++number_;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    t.lines.push_back(line);
    const std::vector<std::string> f = fieldsOf(line);
    if (f.empty() || f[0][0] == '#') continue;
    if (f[0] == "section") {
      Section s;
      if (f.size() < 3) {
        problem = "missing field: a section is `section AT NAME`";
      } else if ((s.fade = fadeIndex(f[1])) < 0) {
        problem = timeProblem(f[1], &s.start);
      }
      if (problem.empty()) {
        const size_t at = line.find(f[1], line.find("section") + 7) + f[1].size();
        s.name = line.substr(line.find_first_not_of(" \t", at));
        while (!s.name.empty() && (s.name.back() == ' ' || s.name.back() == '\t'))
          s.name.pop_back();
        t.sections.push_back(s);
      }
    } else if (f[0] == "storyboard") {
      if (f.size() < 2) problem = "missing field: `storyboard` needs at least one time";
      for (size_t i = 1; i < f.size() && problem.empty(); ++i) {
        float time = 0;
        problem = timeProblem(f[i], &time);
        t.storyboard.push_back(time);
      }
    } else if (f[0] == "layer") {
      // A maker's layer; its files and fades are checked when it is built.
      if (f.size() < 5 || f.size() > 6) {
        problem = "a layer is `layer NAME FRAGMENT PICTURE IN [OUT]`";
      } else {
        t.layers.push_back(
            {f[1], f[2], f[3] == "-" ? "" : f[3], f[4], f.size() > 5 ? f[5] : "", number_});
      }
    } else if (fadeIndex(f[0]) < 0 && f.size() == 4 && (f[3] == "in" || f[3] == "out")) {
      // A fade under a name of the file's own, for a maker's layer.
      float at = 0, rate = 0;
      for (const NamedFade& e : t.extraFades) {
        if (e.name == f[0]) problem = f[0] + " twice";
      }
      if (problem.empty() && (problem = timeProblem(f[1], &at)).empty()) {
        if (!number(f[2], &rate) || !(rate > 0 && rate <= 1000)) {
          problem = "the rate " + quoted(f[2]) + " is not a number from 0 to 1000 (0 excluded)";
        } else {
          t.extraFades.push_back({f[0], Fade{at, rate, f[3] == "in"}});
        }
      }
    } else {
      const int index = fadeIndex(f[0]);
      float at = 0, rate = 0;
      if (index < 0) {
        problem = "unknown name " + quoted(f[0]);
      } else if (f.size() < 4) {
        problem = "missing field: a fade is `NAME AT RATE in|out`";
      } else if (f.size() > 4) {
        problem = "more than four fields: a fade is `NAME AT RATE in|out`";
      } else if (lineOf[index]) {
        problem = f[0] + " twice (first on line " + std::to_string(lineOf[index]) + ")";
      } else if (!(problem = timeProblem(f[1], &at)).empty()) {
      } else if (!number(f[2], &rate)) {
        problem = "not a number: " + quoted(f[2]);
      } else if (!(rate > 0 && rate <= 1000)) {
        problem = "the rate " + f[2] + " is outside 0 to 1000 per second (0 excluded)";
      } else if (f[3] != "in" && f[3] != "out") {
        problem = "not in or out: " + quoted(f[3]);
      } else if ((f[3] == "in") != kFadeIsIn[index]) {
        problem = std::string(f[0]) + " fades " + (kFadeIsIn[index] ? "in" : "out") + ": " + f[3] +
                  " where " + (kFadeIsIn[index] ? "in" : "out") + " belongs";
      } else {
        lineOf[index] = number_;
        t.fade(index) = Fade{at, rate, f[3] == "in"};
      }
    }
    if (!problem.empty()) {
      *error = quoted(file) + " line " + std::to_string(number_) + ": " + problem;
      return false;
    }
  }
  for (int i = 0; i < kFadeCount; ++i) {
    if (!lineOf[i]) {
      *error = quoted(file) + " line " + std::to_string(number_ + 1) + ": no line for the fade " +
               kFadeNames[i];
      return false;
    }
  }
  *out = std::move(t);
  return true;
}

bool loadTimeline(const std::string& path, Timeline* out, std::string* error) {
  // Opened first and then checked, so a FIFO put in its place is refused
  // instead of waited on.
  std::string text, reason;
  if (!readRegularFile(path.c_str(), &text, &reason)) {
    *error = quoted(path) + ": " + reason;
    return false;
  }
  if (!parseTimeline(text, path, out, error)) return false;
  out->folder = folderOf(path);
  out->file = path;
  return true;
}

std::string timelineText(const Timeline& t) {
  std::string text;
  for (const std::string& line : t.lines) {
    const std::vector<std::string> f = fieldsOf(line);
    const int index = f.empty() ? -1 : fadeIndex(f[0]);
    text += index >= 0 ? fadeLine(f[0], t.fade(index)) : line;
    text += '\n';
  }
  return text;
}

namespace timeline {

const Timeline& builtin() {
  static const Timeline parsed = [] {
    Timeline t;
    std::string error;
    if (!parseTimeline(kBuiltinTimelineText, "timeline.txt", &t, &error)) {
      // The build checks the file's shape; this is a broken build.
      std::fprintf(stderr, "the built-in timeline %s\n", error.c_str());
      std::abort();
    }
    return t;
  }();
  return parsed;
}

namespace {
Timeline& activeTimeline() {
  static Timeline t = builtin();
  return t;
}
}  // namespace

const Timeline& active() { return activeTimeline(); }
void setActive(const Timeline& t) { activeTimeline() = t; }

}  // namespace timeline
