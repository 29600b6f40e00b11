#include "platform/win32/text.h"

#include <cwchar>

namespace kv {

namespace {

std::wstring WideFromCodePage(const std::string& bytes, UINT codePage) {
    if (bytes.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), size, &wide[0], length);
    return wide;
}

} // namespace

std::wstring Wide(const std::string& utf8) { return WideFromCodePage(utf8, CP_UTF8); }

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(wide.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

std::string Utf8(const wchar_t* wide) {
    return wide != nullptr ? Utf8(std::wstring(wide, std::wcslen(wide))) : std::string();
}

std::string Utf8FromCodePage(const std::string& bytes, UINT codePage) {
    return Utf8(WideFromCodePage(bytes, codePage));
}

// The system's sentence for the code, without the line break it ends with.
std::string SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length != 0 ? std::wstring(buffer, length) : std::wstring();
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "system error " + std::to_string(code);
    }
    return Utf8(text);
}

} // namespace kv
