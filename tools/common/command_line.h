// The tools' command lines: one table per tool names each option, the values
// it takes and its help, and what it does with them; the same table parses
// the command line and prints the usage and the help.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Takes an option's values into the tool's settings: "" when taken, else
// what the option takes ("a whole number from 1 to 8"), which the refusal
// and the help show. Called with null values for that description alone.
using OptionTaker = std::function<std::string(const char* const* values)>;

struct Option {
  // "--fps"; empty: `help` is a heading line of the help. A name without a
  // leading '-' ("OUTDIR") is an operand: the arguments that are not options
  // fill the operands in their order, each one required.
  std::string name;
  std::string values;  // as the usage shows them: "N", "T OUT.png"; empty for a switch
  std::string help;    // what it does, '\n' between lines
  OptionTaker take;
};

enum class Parsed { ok, help, bad };

// Reads argv[1..] against `table`. --help (or -h) gives Parsed::help at once.
// A refusal is Parsed::bad with one line in `error` naming the option and
// the reason: `bad value for --fps: "0" (frames per second from 0.01 to 1000)`.
Parsed parseCommandLine(const std::vector<Option>& table, int argc, const char* const* argv,
                        std::string* error);

// "usage: TOOL [--a N] [--b] ...", wrapped to 80 columns, ending in a newline.
std::string usageText(const std::string& tool, const std::vector<Option>& table);
// One entry per option: its name and values, its help, and what its values
// must be; headings on their own lines.
std::string optionHelp(const std::vector<Option>& table);

// Takers. A number is read whole ("5abc" and "1e999" are refused) and must
// lie within its bounds; `what` names it in the description ("seconds").
OptionTaker numberIn(double* value, double low, double high, const char* what = "a number");
OptionTaker wholeIn(int* value, int low, int high);
// "T,T,..." (parseTimes), appended to `times`.
OptionTaker timesIn(std::vector<double>* times);
// A non-empty text such as a folder; `what` describes it.
OptionTaker textIn(std::string* value, const char* what);
// A switch: sets `*flag` to `to`.
OptionTaker setSwitch(bool* flag, bool to = true);
// Runs `then` after `taker` has taken its values.
OptionTaker andThen(OptionTaker taker, std::function<void()> then);
// Bounds as the descriptions show them: 0.01, 8, 86400.
std::string boundText(double value);
// `text` with its control characters written as escapes (\n, \r, \t, \x1b),
// so that a name taken from a command line, a file or a folder keeps a
// message on one line and cannot move the terminal's cursor or colours.
std::string printable(const std::string& text);
