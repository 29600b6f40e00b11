// The Windows headers as this program's Win32 code includes them. The seam
// interfaces have methods named like the A/W macros of windows.h
// (CreateDirectory, MessageBox, ...); the macros are dropped here so that those
// names mean the methods. The Win32 calls are made by their wide "W" names, with UTF-8 texts
// converted at the call (platform/win32/text.h).
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#undef CopyFile
#undef CreateDirectory
#undef DefineDosDevice
#undef DeleteFile
#undef MessageBox
#undef QueryDosDevice
#undef ShellExecute
