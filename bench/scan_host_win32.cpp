#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "bench/scan_host.hpp"
#include "engine/file_system.hpp"

namespace vantrel::scan {

SearchFlavour ProgramFlavour() { return SearchFlavour::Windows; }

void PrepareProcess() { _setmode(_fileno(stdout), _O_BINARY); }

std::vector<std::string> Arguments(int, char**) {
  // The narrow arguments are in the ANSI code page; the wide ones are exact.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(SystemBytesFromText(Text(wide[i])));
  LocalFree(wide);
  return out;
}

int RunAsciiDriver(char**) {
  std::fputs("vantrel-scan: the Windows program has 16-bit text only\n", stderr);
  return 2;
}

}  // namespace vantrel::scan
