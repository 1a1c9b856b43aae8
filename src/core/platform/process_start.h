// SPDX-License-Identifier: MIT
// Starting other programs, behind a replaceable seam so tests launch nothing
// and the window can use the same path.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace glyphor {

// Either way the program's standard input, output and error are /dev/null.
enum class StartMode {
  Detached,     // runs on its own in a new session; nothing waits, no zombie stays
  WaitQuietly,  // waited for
};

// Starts argv[0] (looked up in PATH when it holds no "/") with the rest as its
// arguments. Result: 0 once the program runs, else the errno of the failure
// (ENOENT for a missing program, passed back from the child's exec).
int StartProcess(const std::vector<std::string>& argv, StartMode mode);

using ProcessStarter = std::function<int(const std::vector<std::string>& argv, StartMode mode)>;
// What the core calls to start a program; StartProcess unless replaced.
ProcessStarter& ProcessStarterSeam();

// The full path of a program name as the shell would find it in PATH (a name
// holding "/" is checked as it is); empty when there is no such executable.
std::string FindProgram(const std::string& name);

}  // namespace glyphor
