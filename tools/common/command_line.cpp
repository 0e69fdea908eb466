// The tools' table-driven command lines.
#include "tools/common/command_line.h"

#include "tools/common/numbers.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace {

bool isOperand(const Option& option) { return !option.name.empty() && option.name[0] != '-'; }

size_t valueCount(const Option& option) {
  if (isOperand(option)) return 1;
  if (option.values.empty()) return 0;
  size_t n = 1;
  for (char c : option.values) n += c == ' ';
  return n;
}

const Option* find(const std::vector<Option>& table, const std::string& name) {
  for (const Option& option : table) {
    if (!isOperand(option) && !option.name.empty() && option.name == name) return &option;
  }
  return nullptr;
}

}  // namespace

std::string boundText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string printable(const std::string& text) {
  std::string shown;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7f) {
      shown += c;
    } else if (c == '\n' || c == '\r' || c == '\t') {
      shown += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", u);
      shown += code;
    }
  }
  return shown;
}

Parsed parseCommandLine(const std::vector<Option>& table, int argc, const char* const* argv,
                        std::string* error) {
  std::vector<const Option*> operands;
  for (const Option& option : table) {
    if (isOperand(option)) operands.push_back(&option);
  }
  size_t filled = 0;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsEnded && (arg == "--help" || arg == "-h")) return Parsed::help;
    if (!optionsEnded && arg == "--" && !operands.empty()) {
      optionsEnded = true;
      continue;
    }
    const bool operand = filled < operands.size() && (optionsEnded || arg.empty() || arg[0] != '-');
    const Option* option = operand ? operands[filled++] : find(table, arg);
    if (operand) {
      const std::string reason = option->take(argv + i);
      if (reason.empty()) continue;
      *error = "bad " + option->name + ": \"" + printable(arg) + "\" (" + reason + ")";
      return Parsed::bad;
    }
    if (!option) {
      if (!operands.empty() && (optionsEnded || arg.empty() || arg[0] != '-')) {
        *error = "unexpected argument \"" + printable(arg) + "\"";
        return Parsed::bad;
      }
      *error = "unknown option \"" + printable(arg) + "\"";
      return Parsed::bad;
    }
    const size_t count = valueCount(*option);
    const bool present = static_cast<size_t>(argc - 1 - i) >= count;
    const std::string reason = option->take(present ? argv + i + 1 : nullptr);
    if (!reason.empty()) {
      std::string given = "missing";
      if (present && count > 0) {
        given.clear();
        for (size_t k = 0; k < count; ++k) {
          given += std::string(k ? " " : "") + "\"" + printable(argv[i + 1 + static_cast<int>(k)]) +
                   "\"";
        }
      }
      *error = count > 0 ? "bad value for " + arg + ": " + given + " (" + reason + ")"
                         : arg + ": " + reason;
      return Parsed::bad;
    }
    i += static_cast<int>(count);
  }
  if (filled < operands.size()) {
    *error = "missing " + operands[filled]->name;
    return Parsed::bad;
  }
  return Parsed::ok;
}

std::string usageText(const std::string& tool, const std::vector<Option>& table) {
  const std::string start = "usage: " + tool;
  std::string text = start, line = start;
  for (const Option& option : table) {
    if (option.name.empty()) continue;
    const std::string item =
        isOperand(option)
            ? " " + option.name
            : " [" + option.name + (option.values.empty() ? "" : " " + option.values) + "]";
    if (line.size() + item.size() > 80) {
      text += "\n" + std::string(start.size(), ' ');
      line = std::string(start.size(), ' ');
    }
    text += item;
    line += item;
  }
  return text + "\n";
}

std::string optionHelp(const std::vector<Option>& table) {
  const size_t column = 22;
  const std::string indent(column, ' ');
  std::string text;
  for (const Option& option : table) {
    if (option.name.empty()) {
      text += "\n" + option.help + "\n";
      continue;
    }
    std::string head = "  " + option.name + (option.values.empty() ? "" : " " + option.values);
    head += head.size() < column ? std::string(column - head.size(), ' ') : "\n" + indent;
    std::string body = option.help;
    // The bounds a value must keep ("... 1 to 8"), from the taker that checks them.
    const std::string takes =
        option.values.empty() && !isOperand(option) ? "" : option.take(nullptr);
    const size_t to = takes.find(" to ");
    if (to != std::string::npos && std::isdigit(static_cast<unsigned char>(takes[to + 4]))) {
      body += "\n" + takes;
    }
    for (size_t at = 0, end = 0; at <= body.size(); at = end + 1) {
      end = body.find('\n', at);
      if (end == std::string::npos) end = body.size();
      text += (at == 0 ? head : indent) + body.substr(at, end - at) + "\n";
    }
  }
  return text;
}

OptionTaker numberIn(double* value, double low, double high, const char* what) {
  const std::string takes =
      std::string(what) + " from " + boundText(low) + " to " + boundText(high);
  return [=](const char* const* values) {
    double v = 0;
    if (!values || !parseNumber(values[0], &v) || v < low || v > high) return takes;
    *value = v;
    return std::string();
  };
}

OptionTaker wholeIn(int* value, int low, int high) {
  const std::string takes =
      "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
  return [=](const char* const* values) {
    double v = 0;
    if (!values || !parseNumber(values[0], &v) || v != std::floor(v) || v < low || v > high) {
      return takes;
    }
    *value = static_cast<int>(v);
    return std::string();
  };
}

OptionTaker timesIn(std::vector<double>* times) {
  const std::string takes =
      "up to 1000 comma-separated times, each 0 to " + boundText(kMaxSeconds) + " s";
  return [=](const char* const* values) {
    return values && parseTimes(values[0], times) ? "" : takes;
  };
}

OptionTaker textIn(std::string* value, const char* what) {
  const std::string takes = what;
  return [=](const char* const* values) {
    if (!values || !*values[0]) return takes;
    *value = values[0];
    return std::string();
  };
}

OptionTaker setSwitch(bool* flag, bool to) {
  return [=](const char* const*) {
    *flag = to;
    return std::string();
  };
}

OptionTaker andThen(OptionTaker taker, std::function<void()> then) {
  return [=](const char* const* values) {
    std::string reason = taker(values);
    if (reason.empty() && values) then();
    return reason;
  };
}
