// Stands in for the companion program beside korvane.exe in the test program
// folder; Korvane only checks that it exists and registers it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
