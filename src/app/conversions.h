// SPDX-License-Identifier: MIT
// The option form's run: every conversion the command line asks for,
// checked and prepared as a whole before the first one is written.
#pragma once

#include <string>
#include <vector>

#include "app/options.h"

namespace glyphor {

// One conversion: a settings file to one output.
struct Conversion {
  std::string input;   // settings file; "-" standard input; "" none (the defaults)
  std::string output;  // file to write; "-" standard output
  OutputFormat format = OutputFormat::Svg;
};

struct ConversionPlan {
  std::vector<Conversion> conversions;
  std::vector<Override> overrides;  // texts of --text-file already read
  std::string standardInputSettings;
  bool view = false;
  Verbosity verbosity = Verbosity::Normal;
};

// Reads what the options name (text files, settings from standard input),
// checks every override on a scratch model and chooses each output. Throws
// EUsageError when anything is wrong; nothing has been written then.
ConversionPlan PlanConversions(const CommandLine& cl);

// Runs each conversion in turn; a failure is reported on standard error and
// the others still run. Returns the exit status: 0 when every output was
// written, 1 otherwise.
int RunConversions(const ConversionPlan& plan);

}  // namespace glyphor
