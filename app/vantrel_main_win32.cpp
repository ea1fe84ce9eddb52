// The Windows program: the program's window on raw Win32.
#include <windows.h>

#include "platform/win32/window_win32.hpp"
#include "ui/program.hpp"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  vantrel::Win32Window host;
  vantrel::Program program(host, vantrel::SearchFlavour::Windows);
  return program.Run();
}
