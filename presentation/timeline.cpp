// Reading, writing and holding the timeline.
#include "presentation/timeline.h"

#include "platform/regular_file.h"
#include "presentation/window.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <utility>

namespace {

constexpr Fade Timeline::*kFadeMembers[] = {
#define DEMO_FADE_POINTER(name, at, rate, in) &Timeline::name,
    DEMO_FADE_LIST(DEMO_FADE_POINTER)
#undef DEMO_FADE_POINTER
};

constexpr float Timeline::*kCutMembers[] = {
#define DEMO_CUT_POINTER(name, at) &Timeline::name,
    DEMO_CUT_LIST(DEMO_CUT_POINTER)
#undef DEMO_CUT_POINTER
};

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// How much of a field a message quotes: enough to recognise it, never a
// whole file given in its place.
constexpr size_t kShownBytes = 60;

// Text from the file as it may appear in a message: control characters,
// bytes of 0x80 and above, quotes and backslashes escaped, cut after
// `maxBytes` with the full size said.
std::string shown(const std::string& s, size_t maxBytes = kShownBytes) {
  std::string out;
  for (size_t i = 0; i < s.size() && i < maxBytes; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\') {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", c);
      out += code;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (s.size() > maxBytes) out += "... (" + std::to_string(s.size()) + " bytes)";
  return out;
}

std::string quoted(const std::string& s) { return "\"" + shown(s) + "\""; }

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string f; in >> f;) fields.push_back(f);
  return fields;
}

bool isKeyword(const std::string& word) {
  return word == "section" || word == "storyboard" || word == "layer" || word == "cut";
}

// A fade's name: a letter, then letters, digits and _ (no + or -, which
// FADE+S and FADE-S use). A layer's name may also hold -.
bool isFadeName(const std::string& s) {
  if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0]))) return false;
  return std::all_of(s.begin(), s.end(),
                     [](unsigned char c) { return std::isalnum(c) || c == '_'; });
}
bool isLayerName(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '-';
  });
}

// A time, a rate or an offset: the whole field a float; "" or why not.
std::string numberProblem(const std::string& field, float* value) {
  errno = 0;
  char* end = nullptr;
  *value = std::strtof(field.c_str(), &end);
  if (field.empty() || *end != '\0') return "not a number: " + quoted(field);
  if (errno == ERANGE || (*value != 0 && std::fabs(*value) < FLT_MIN)) {
    return shown(field) + (std::fabs(*value) < 1 ? " is too small (a float's smallest is 1.2e-38)"
                                                 : " is too large (a float's largest is 3.4e+38)");
  }
  if (!std::isfinite(*value)) return "not a number: " + quoted(field);
  return "";
}

// Seconds within the timeline, or why not.
std::string timeProblem(const std::string& field, float* value) {
  const std::string problem = numberProblem(field, value);
  if (!problem.empty()) return problem;
  if (*value < 0 || *value > kEndTime) return shown(field) + " is outside 0 to 130 s";
  return "";
}

// A time as written in a section or the storyboard: seconds, or NAME, NAME+S,
// NAME-S with the fade's or cut's name in `fade` (found once every line is read).
std::string splitTime(const std::string& field, std::string* fade, float* value) {
  fade->clear();
  if (field.empty() || !std::isalpha(static_cast<unsigned char>(field[0]))) {
    return timeProblem(field, value);
  }
  size_t end = 0;
  while (end < field.size() &&
         (std::isalnum(static_cast<unsigned char>(field[end])) || field[end] == '_'))
    ++end;
  *fade = field.substr(0, end);
  *value = 0;
  if (end == field.size()) return "";
  const std::string offset = field.substr(end);
  if (offset.size() < 2 || (offset[0] != '+' && offset[0] != '-') ||
      !(std::isdigit(static_cast<unsigned char>(offset[1])) || offset[1] == '.')) {
    return "not a number: " + quoted(field) + ", nor FADE, FADE+S or FADE-S";
  }
  return numberProblem(offset, value);
}

// The shortest text that reads back to the same float: fixed decimals where
// they do it (25.002, 1000), else the exponent form (1e-12, 1.23456e-06).
std::string numberText(float v) {
  char fixed[64] = "", general[32] = "";
  for (int decimals = 0; decimals <= 9; ++decimals) {
    std::snprintf(fixed, sizeof fixed, "%.*f", decimals, static_cast<double>(v));
    if (std::strtof(fixed, nullptr) == v) break;
    fixed[0] = '\0';
  }
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(general, sizeof general, "%.*g", digits, static_cast<double>(v));
    if (std::strtof(general, nullptr) == v) break;
  }
  return fixed[0] && std::strlen(fixed) <= std::strlen(general) ? fixed : general;
}

std::string fadeLine(const std::string& name, const Fade& f) {
  return name + " " + numberText(f.at) + " " + numberText(f.rate) + (f.in ? " in" : " out");
}

std::string layerLine(const MakerLayer& l) {
  return "layer " + l.name + " " + l.fragment + " " + (l.picture.empty() ? "-" : l.picture) + " " +
         l.in + " " + (l.out.empty() ? "-" : l.out) + "\n";
}

// The built-in fade-ins that have a fade-out of the same stem (oldschoolIn
// and oldschoolOut): a picture that shows between the two.
std::vector<std::pair<int, int>> builtinPairs() {
  std::vector<std::pair<int, int>> pairs;
  for (int i = 0; i < kFadeCount; ++i) {
    const std::string name = kFadeNames[i];
    if (!kFadeIsIn[i] || name.size() < 2 || name.compare(name.size() - 2, 2, "In") != 0) continue;
    const int out = fadeIndex(name.substr(0, name.size() - 2) + "Out");
    if (out >= 0 && !kFadeIsIn[out]) pairs.push_back({i, out});
  }
  return pairs;
}

}  // namespace

float& Timeline::cut(int index) { return this->*kCutMembers[index]; }
float Timeline::cut(int index) const { return this->*kCutMembers[index]; }

Fade& Timeline::fade(int index) {
  return index < kFadeCount ? this->*kFadeMembers[index] : extraFades[index - kFadeCount].fade;
}
const Fade& Timeline::fade(int index) const {
  return index < kFadeCount ? this->*kFadeMembers[index] : extraFades[index - kFadeCount].fade;
}

int Timeline::indexOf(const std::string& name) const {
  const int builtin = fadeIndex(name);
  if (builtin >= 0) return builtin;
  for (size_t i = 0; i < extraFades.size(); ++i) {
    if (extraFades[i].name == name) return kFadeCount + static_cast<int>(i);
  }
  return -1;
}

std::vector<float> Timeline::storyboardTimes() const {
  std::vector<float> times;
  for (const TimeRef& r : storyboard) times.push_back(timeOf(r));
  return times;
}

bool Timeline::sameFades(const Timeline& other) const {
  if (fadeCount() != other.fadeCount()) return false;
  for (int i = 0; i < kCutCount; ++i) {
    if (cut(i) != other.cut(i)) return false;
  }
  for (int i = 0; i < fadeCount(); ++i) {
    if (fade(i).at != other.fade(i).at || fade(i).rate != other.fade(i).rate) return false;
    if (i >= kFadeCount && extraFades[i - kFadeCount].name != other.extraFades[i - kFadeCount].name)
      return false;
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

int cutIndex(const std::string& name) {
  for (int i = 0; i < kCutCount; ++i) {
    if (name == kCutNames[i]) return i;
  }
  return -1;
}

std::string timeFieldProblem(const std::string& field) {
  std::string name;
  float value = 0;
  return splitTime(field, &name, &value);
}

std::string readTime(const Timeline& t, const std::string& field, TimeRef* out) {
  std::string name;
  TimeRef r;
  std::string problem = splitTime(field, &name, &r.offset);
  if (!problem.empty() || name.empty()) {
    if (problem.empty()) *out = r;
    return problem;
  }
  const int cut = cutIndex(name);
  if ((r.fade = t.indexOf(name)) < 0 && cut < 0) {
    return "not a number: " + quoted(field) + ", nor a fade or cut of this file";
  }
  const float time = cut >= 0 ? t.cut(cut) + r.offset : t.timeOf(r);
  if (time < 0 || time > kEndTime) {
    return shown(field) + " is " + numberText(time) + " s, outside 0 to 130 s";
  }
  if (cut >= 0) r.offset = time;
  *out = r;
  return "";
}

bool parseTimeline(const std::string& text, const std::string& file, Timeline* out,
                   std::string* error) {
  const auto fail = [&](int line, const std::string& problem) {
    *error = "\"" + shown(file, SIZE_MAX) + "\" line " + std::to_string(line) + ": " + problem;
    return false;
  };
  // strtof and the messages would stop at a NUL; a text file has none.
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) {
    return fail(1 + static_cast<int>(std::count(text.begin(), text.begin() + nul, '\n')),
                "a NUL byte, which a text file does not hold");
  }
  Timeline t;
  t.byteOrderMark = text.compare(0, 3, kByteOrderMark) == 0;
  const size_t firstEnd = text.find('\n');
  if (firstEnd != std::string::npos && firstEnd > 0 && text[firstEnd - 1] == '\r')
    t.lineEnd = "\r\n";
  {
    std::istringstream in(text.substr(t.byteOrderMark ? 3 : 0));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      t.lines.push_back(line);
    }
  }
  // The fades the layers use, wherever their lines are: a fade line of a
  // name that is not built-in is one of these, or a typo.
  std::map<std::string, int> usedByLayers, given;
  for (const std::string& line : t.lines) {
    const std::vector<std::string> f = fieldsOf(line);
    for (size_t i = 4; f.size() >= 5 && f[0] == "layer" && i < f.size() && i < 6; ++i)
      usedByLayers[f[i]] = 1;
    if (f.size() == 4 && (f[3] == "in" || f[3] == "out")) given[f[0]] = 1;
  }
  // A layer naming a fade the file does not give is told at the layer's
  // line, before the fade it meant is called unused.
  int lineNumber = 0;
  for (const std::string& line : t.lines) {
    ++lineNumber;
    const std::vector<std::string> f = fieldsOf(line);
    for (size_t i = 4; f.size() >= 5 && f.size() <= 6 && f[0] == "layer" && i < f.size(); ++i) {
      if (fadeIndex(f[i]) < 0 && !given.count(f[i]) && !(i == 5 && f[i] == "-")) {
        return fail(lineNumber, "the layer " + shown(f[1]) + "'s " + (i == 4 ? "IN " : "OUT ") +
                                    quoted(f[i]) + " is no fade of this file");
      }
    }
  }

  std::map<std::string, int> givenOn, layerLine;  // where each name was given
  // Times written from a fade or cut are read once every line is.
  struct Pending {
    std::string field;
    int line;
  };
  std::vector<Pending> sectionAt, storyboardAt;
  std::string problem;
  int n = 0;
  for (const std::string& line : t.lines) {
    ++n;
    const std::vector<std::string> f = fieldsOf(line);
    if (f.empty() || f[0][0] == '#') continue;
    if (f[0] == "section") {
      Section s;
      if (f.size() < 3) {
        problem = "missing field: a section is `section AT NAME`";
      } else if ((problem = timeFieldProblem(f[1])).empty()) {
        const size_t at = line.find(f[1], line.find("section") + 7) + f[1].size();
        s.name = line.substr(line.find_first_not_of(" \t", at));
        while (!s.name.empty() && (s.name.back() == ' ' || s.name.back() == '\t'))
          s.name.pop_back();
        t.sections.push_back(s);
        sectionAt.push_back({f[1], n});
      }
    } else if (f[0] == "storyboard") {
      if (f.size() < 2) problem = "missing field: `storyboard` needs at least one time";
      for (size_t i = 1; i < f.size() && problem.empty(); ++i) {
        if ((problem = timeFieldProblem(f[i])).empty()) {
          t.storyboard.push_back({});
          storyboardAt.push_back({f[i], n});
        }
      }
    } else if (f[0] == "cut") {
      const int index = f.size() > 1 ? cutIndex(f[1]) : -1;
      float at = 0;
      if (f.size() != 3) {
        problem = std::string(f.size() < 3 ? "missing field" : "too many fields") +
                  ": a cut is `cut NAME AT`";
      } else if (index < 0) {
        problem = "unknown cut " + quoted(f[1]) + ": not one the presentation has";
      } else if (givenOn.count("cut " + f[1])) {
        problem = "the cut " + f[1] + " twice (first on line " +
                  std::to_string(givenOn["cut " + f[1]]) + ")";
      } else if ((problem = timeProblem(f[2], &at)).empty()) {
        givenOn["cut " + f[1]] = n;
        t.cut(index) = at;
      }
    } else if (f[0] == "layer") {
      const char* shape = "a layer is `layer NAME FRAGMENT PICTURE IN [OUT]`";
      if (f.size() < 5) {
        problem = std::string("missing field: ") + shape;
      } else if (f.size() > 6) {
        problem = std::string("too many fields: ") + shape;
      } else if (!isLayerName(f[1])) {
        problem = "a layer's name is letters, digits, _ and -: " + quoted(f[1]);
      } else if (layerLine.count(f[1])) {
        problem =
            "the layer " + f[1] + " twice (first on line " + std::to_string(layerLine[f[1]]) + ")";
      } else {
        layerLine[f[1]] = n;
        t.layers.push_back({f[1], f[2], f[3] == "-" ? "" : f[3], f[4],
                            f.size() > 5 && f[5] != "-" ? f[5] : "", n});
      }
    } else {
      const int index = fadeIndex(f[0]);
      float at = 0, rate = 0;
      if (index < 0 && !usedByLayers.count(f[0])) {
        problem = "unknown name " + quoted(f[0]) + ": not a built-in fade, and no layer uses it";
      } else if (index < 0 && !isFadeName(f[0])) {
        problem = "a fade's name is a letter, then letters, digits and _: " + quoted(f[0]);
      } else if (f.size() < 4) {
        problem = "missing field: a fade is `NAME AT RATE in|out`";
      } else if (f.size() > 4) {
        problem = "more than four fields: a fade is `NAME AT RATE in|out`";
      } else if (givenOn.count(f[0])) {
        problem = f[0] + " twice (first on line " + std::to_string(givenOn[f[0]]) + ")";
      } else if (!(problem = timeProblem(f[1], &at)).empty()) {
      } else if (!(problem = numberProblem(f[2], &rate)).empty()) {
      } else if (!(rate > 0 && rate <= 1000)) {
        problem = "the rate " + shown(f[2]) + " is outside 0 to 1000 per second (0 excluded)";
      } else if (f[3] != "in" && f[3] != "out") {
        problem = "not in or out: " + quoted(f[3]);
      } else if (index >= 0 && (f[3] == "in") != kFadeIsIn[index]) {
        problem = std::string(f[0]) + " fades " + (kFadeIsIn[index] ? "in" : "out") + ": " + f[3] +
                  " where " + (kFadeIsIn[index] ? "in" : "out") + " belongs";
      } else {
        givenOn[f[0]] = n;
        const Fade read{at, rate, f[3] == "in"};
        if (index >= 0) {
          t.fade(index) = read;
        } else {
          t.extraFades.push_back({f[0], read});
        }
      }
    }
    if (!problem.empty()) return fail(n, problem);
  }
  for (int i = 0; i < kFadeCount; ++i) {
    if (!givenOn.count(kFadeNames[i]))
      return fail(n + 1, std::string("no line for the fade ") + kFadeNames[i]);
  }
  for (int i = 0; i < kCutCount; ++i) {
    if (!givenOn.count(std::string("cut ") + kCutNames[i]))
      return fail(n + 1, std::string("no line for the cut ") + kCutNames[i]);
  }

  // Times written from fades and cuts, now that every one is known.
  for (size_t i = 0; i < t.sections.size(); ++i) {
    TimeRef r;
    if (!(problem = readTime(t, sectionAt[i].field, &r)).empty())
      return fail(sectionAt[i].line, problem);
    Section& s = t.sections[i];
    s.fade = r.fade;
    (r.fade >= 0 ? s.offset : s.start) = r.offset;
  }
  for (size_t i = 0; i < t.storyboard.size(); ++i) {
    if (!(problem = readTime(t, storyboardAt[i].field, &t.storyboard[i])).empty())
      return fail(storyboardAt[i].line, problem);
  }

  for (const MakerLayer& l : t.layers) {
    for (const bool in : {true, false}) {
      const std::string& name = in ? l.in : l.out;
      const char* role = in ? "IN" : "OUT";
      if (name.empty()) continue;
      const int index = t.indexOf(name);
      if (index < 0) {
        return fail(l.line, "the layer " + l.name + "'s " + role + " " + quoted(name) +
                                " is no fade of this file");
      }
      if (t.fade(index).in != in) {
        return fail(l.line, "the layer " + l.name + "'s " + role + " " + name + " fades " +
                                (in ? "out" : "in") + ": a fade-" + (in ? "in" : "out") +
                                " belongs there");
      }
    }
  }
  // A picture whose fade-in comes after its fade-out never shows.
  const std::vector<NamedFade> all = t.allFades();
  const auto order = [&](int in, int gone) {
    const NamedFade &a = all[in], &b = all[gone];
    if (a.fade.at <= b.fade.at) return std::string();
    return a.name + " at " + numberText(a.fade.at) + " s (line " + std::to_string(givenOn[a.name]) +
           ") comes after " + b.name + " at " + numberText(b.fade.at) + " s (line " +
           std::to_string(givenOn[b.name]) + ")";
  };
  for (const std::pair<int, int>& p : builtinPairs()) {
    if (!(problem = order(p.first, p.second)).empty())
      return fail(givenOn[kFadeNames[p.first]], problem + ": the picture would never show");
  }
  for (const MakerLayer& l : t.layers) {
    if (!l.out.empty() && !(problem = order(t.indexOf(l.in), t.indexOf(l.out))).empty())
      return fail(l.line, "the layer " + l.name + " would never show: " + problem);
  }
  *out = std::move(t);
  return true;
}

bool loadTimeline(const std::string& path, Timeline* out, std::string* error) {
  // Opened first and then checked, so a FIFO put in its place is refused
  // instead of waited on; a huge file is refused by its size, unread.
  std::string text, reason;
  if (!readRegularFile(path.c_str(), &text, &reason, kMaxTimelineBytes)) {
    *error = "\"" + shown(path, SIZE_MAX) + "\": " + reason;
    return false;
  }
  return parseTimelineFile(text, path, out, error);
}

bool parseTimelineFile(const std::string& text, const std::string& path, Timeline* out,
                       std::string* error) {
  if (!parseTimeline(text, path, out, error)) return false;
  out->folder = folderOf(path);
  out->file = path;
  return true;
}

std::string timelineText(const Timeline& t) {
  std::string text = t.byteOrderMark ? kByteOrderMark : "";
  for (const std::string& line : t.lines) {
    const std::vector<std::string> f = fieldsOf(line);
    const int index = f.empty() || isKeyword(f[0]) ? -1 : t.indexOf(f[0]);
    text += index >= 0 ? fadeLine(f[0], t.fade(index)) : line;
    text += t.lineEnd;
  }
  return text;
}

std::string drawnText(const Timeline& t) {
  std::string text;
  std::vector<NamedFade> fades = t.allFades();
  // The extra fades by name: their order in the file draws nothing.
  std::sort(fades.begin() + kFadeCount, fades.end(),
            [](const NamedFade& a, const NamedFade& b) { return a.name < b.name; });
  for (const NamedFade& f : fades) text += fadeLine(f.name, f.fade) + "\n";
  for (int i = 0; i < kCutCount; ++i)
    text += std::string("cut ") + kCutNames[i] + " " + numberText(t.cut(i)) + "\n";
  for (const Section& s : t.sections)
    text += "section " + numberText(t.sectionStart(s)) + " " + s.name + "\n";
  for (const MakerLayer& l : t.layers) text += layerLine(l);
  return text;
}

std::string timelineListing(const Timeline& t) {
  std::string text;
  for (const NamedFade& f : t.allFades())
    text += fadeLine(f.name, f.fade) + " " + numberText(fadeEdge(f.fade)) + "\n";
  for (int i = 0; i < kCutCount; ++i)
    text += std::string("cut ") + kCutNames[i] + " " + numberText(t.cut(i)) + "\n";
  for (const Section& s : t.sections)
    text += "section " + numberText(t.sectionStart(s)) + " " + s.name + "\n";
  text += "storyboard";
  for (float time : t.storyboardTimes()) text += " " + numberText(time);
  text += "\n";
  for (const MakerLayer& l : t.layers) text += layerLine(l);
  return text;
}

// Every fade-in with the fade-out it must not come after: the built-in
// pairs, then each layer's IN and OUT.
std::vector<std::pair<int, int>> fadePairs(const Timeline& t) {
  static const std::vector<std::pair<int, int>> builtin = builtinPairs();
  std::vector<std::pair<int, int>> pairs = builtin;
  for (const MakerLayer& l : t.layers) {
    const int in = t.indexOf(l.in), out = l.out.empty() ? -1 : t.indexOf(l.out);
    if (in >= 0 && out >= 0) pairs.push_back({in, out});
  }
  return pairs;
}

float fadeLimit(const Timeline& t, int fade, bool lower) {
  float lo = 0, hi = kEndTime;
  for (const std::pair<int, int>& p : fadePairs(t)) {
    if (p.first == fade) hi = std::min(hi, t.fade(p.second).at);
    if (p.second == fade) lo = std::max(lo, t.fade(p.first).at);
  }
  // A time written as this fade plus an offset stays within 0 to 130 s; the
  // bounds are stepped inwards until the float sum says so too.
  const auto keepWithin = [&](TimeRef r) {
    if (r.fade != fade) return;
    float l = -r.offset, h = kEndTime - r.offset;
    while (l + r.offset < 0) l = std::nextafter(l, kEndTime);
    while (h + r.offset > kEndTime) h = std::nextafter(h, 0.0f);
    lo = std::max(lo, l);
    hi = std::min(hi, h);
  };
  for (const Section& s : t.sections) keepWithin({s.fade, s.offset});
  for (const TimeRef& r : t.storyboard) keepWithin(r);
  return lower ? lo : hi;
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
