// vantrel-mac and vantrel-mac-ascii: the program in its Qt window. The build
// picks the text width (16-bit or 8-bit) through the libraries it links.

#include "platform/qt/window_qt.hpp"
#include "ui/program.hpp"

int main(int argc, char** argv) {
  vantrel::QtWindowHost host(argc, argv);
  vantrel::Program program(host, vantrel::SearchFlavour::Mac);
  return program.Run();
}
