// The Windows program. Its window arrives with the user-interface work; until
// then it starts and ends with exit code 0, as every end of the program does.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
