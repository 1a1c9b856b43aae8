// SPDX-License-Identifier: MIT
// The option form of the command line: GNU-style options and any number of
// settings files, read into one description of the run. Nothing here touches
// a file; values are checked for their form only.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace glyphor {

// A command line that cannot be run (exit status 2); what() is the message.
class EUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class OutputFormat { Svg, Emf, Wmf, Dxf };

// One setting given on the command line, applied after the settings file in
// the order given. `option` is how the user wrote it, for messages.
struct Override {
  std::string option;
  std::string section, key, value;
  bool valueIsTextFile = false;  // value names a file ("-": standard input) holding the text
};

enum class Verbosity { Quiet, Normal, Verbose };

struct CommandLine {
  bool help = false, version = false;
  std::vector<std::string> inputs;  // settings files; "-" is standard input
  std::optional<std::string> output;
  std::optional<OutputFormat> format;
  std::vector<Override> overrides;
  bool view = false;
  Verbosity verbosity = Verbosity::Normal;
};

// True when `args` (without the program's name) take the option form: one of
// them starts with "-".
bool IsOptionForm(const std::vector<std::string>& args);

// Reads the option form. Throws EUsageError for an unknown option, a missing
// or unexpected value, or a value of the wrong form.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The long names of every option, without "--", in the order --help gives them.
std::vector<std::string> OptionNames();

// The format named by an output's extension (".svg", ".emf", ".wmf", ".dxf",
// any case), else SVG.
OutputFormat FormatForName(const std::string& path);
// "svg", "emf", "wmf" or "dxf".
const char* FormatExtension(OutputFormat format);

// Hundredths of a millimetre from a decimal number of millimetres ("0.5",
// "2", ".25", "-1"), rounded at the hundredth, halves away from zero, and
// held within the int range; nullopt when the text is no such number.
std::optional<int> MillimetresToHundredths(const std::string& text);

}  // namespace glyphor
