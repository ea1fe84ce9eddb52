#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#include "bench/scan_host.hpp"

namespace vantrel::scan {

SearchFlavour ProgramFlavour() { return SearchFlavour::Mac; }

void PrepareProcess() {
  // The driver runs one search and ends: large blocks go straight back to the
  // system when freed (glibc otherwise raises its threshold as blocks are
  // freed and keeps them), and the reading threads share one arena, so what
  // one frees the other reuses.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_ARENA_MAX, 1);
}

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

int RunAsciiDriver(char** argv) {
  std::string self = argv[0];
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) self.assign(buffer, static_cast<std::size_t>(n));
  std::string sibling = self.substr(0, self.rfind('/') + 1) + "vantrel-scan-ascii";
  execv(sibling.c_str(), argv);
  std::fprintf(stderr, "vantrel-scan: cannot run %s\n", sibling.c_str());
  return 2;
}

}  // namespace vantrel::scan
