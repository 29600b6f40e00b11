// Tools of kve2e.exe that are no cases: pictures and a measurement.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// The whole screen by default, as a .bmp.
void TakeScreenshot(const std::string& bmpPath, HWND window = nullptr);

// Two virtual drives, one of them saved, so that the pictures show the lists
// in use; then splash.bmp, main.bmp and about.bmp in the folder. 0 when all
// three were taken.
int Screenshots(const std::string& folder);

// Times one file-system call on the slow drive against the answers of
// another process's window.
std::string CheckSlowDrive();

} // namespace e2e
