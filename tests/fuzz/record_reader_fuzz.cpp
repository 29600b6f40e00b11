// libFuzzer target for the record reader that the companion runs on every
// record file at logon. Run it with scripts/fuzz.
#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "saved/record_reader.h"

namespace {

// Latin-1 stands in for the system's code page: every byte is a character.
std::string Latin1ToUtf8(const std::string& bytes) {
    std::string utf8;
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        if (c < 0x80)
            utf8 += b;
        else
            utf8 += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    return utf8;
}

// Valid UTF-8 as the C library decodes it (no overlong forms, no surrogates),
// up to U+10FFFF: a judge apart from the reader's own.
bool IsUtf8(const std::string& text) {
    std::mbstate_t state{};
    wchar_t c = 0;
    for (std::size_t i = 0, n = 0; i < text.size(); i += n)
        if ((n = std::max<std::size_t>(1, std::mbrtowc(&c, &text[i], text.size() - i, &state))) > 4 || c > 0x10FFFF)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto folder = kv::ReadRecord(bytes, Latin1ToUtf8);
    if (!folder)
        return 0;
    // A folder read back is valid UTF-8, one that subst can be given whole,
    // and one that reads back the same when saved again.
    if (!IsUtf8(*folder) || folder->find_first_of("\"\r\n") != std::string::npos || (*folder)[1] != ':' ||
        (*folder)[2] != '\\')
        std::abort();
    if (kv::ReadRecord(kv::kUtf8ByteOrderMark + *folder + "\r\n", Latin1ToUtf8) != folder)
        std::abort();
    return 0;
}
