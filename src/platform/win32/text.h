// Text crosses the seam as UTF-8; the system's wide calls take UTF-16. These
// convert between the two, and give the system's own words for an error code.
#pragma once

#include "platform/win32/win32.h"

#include <string>

namespace kv {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
std::string Utf8(const wchar_t* wide); // up to the first NUL; "" for null
// Bytes in a system code page (CP_ACP, CP_OEMCP) as UTF-8.
std::string Utf8FromCodePage(const std::string& bytes, UINT codePage);

std::string SystemErrorText(DWORD code);

} // namespace kv
