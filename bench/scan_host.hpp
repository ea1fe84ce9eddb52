#pragma once
// What the scan driver needs of its host, one file per host (CMake picks it).

#include <string>
#include <vector>

#include "engine/search_run.hpp"

namespace vantrel::scan {

// Sets the process up for one search and exit: the allocator (POSIX) or the
// output mode (Windows, where stdout must not turn "\n" into "\r\n").
void PrepareProcess();

// Returns the command line's arguments, program name first, as UTF-8 (on
// POSIX the bytes as given).
std::vector<std::string> Arguments(int argc, char** argv);

// The program whose search the driver runs: the Windows program admits files
// by their attributes, the Mac programs take every file.
SearchFlavour ProgramFlavour();

// Runs the 8-bit driver beside this one in this process's place; returns an
// exit code only when it cannot (POSIX), or at once where there is none.
int RunAsciiDriver(char** argv);

}  // namespace vantrel::scan
