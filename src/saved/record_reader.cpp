#include "saved/record_reader.h"

#include <algorithm>

namespace kv {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        unsigned long code = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

// A full path from a drive letter, with no character that a Windows path
// cannot hold. The folder goes into subst's command line, so a quote must
// never pass. A share is refused: a logon must not reach out to a server
// named in a file that other users may write.
std::optional<std::string> FolderRefusal(const std::string& folder) {
    if (folder.compare(0, 2, "\\\\") == 0)
        return std::string("is on a network path, and only folders on a drive letter come back at logon");
    const char letter = folder.empty() ? 0 : static_cast<char>(folder[0] & ~0x20);
    if (folder.size() < 3 || folder[1] != ':' || folder[2] != '\\' || letter < 'A' || letter > 'Z')
        return std::string("is not a full path from a drive letter");
    const bool badCharacter =
        folder.back() == ' ' || std::any_of(folder.begin() + 2, folder.end(), [](char c) {
            return (static_cast<unsigned char>(c) < 0x20) || std::string("\"*?<>|:").find(c) != std::string::npos;
        });
    if (badCharacter)
        return std::string("holds a character that no folder name may hold");
    return std::nullopt;
}

// One line ended by CR LF, as Korvane writes it; a bare LF or no line end at
// the end of the file are taken too, since an editor may have touched it.
std::optional<std::string> ReadRecord(const std::string& bytes, const AnsiDecoder& fromAnsi, std::string* why) {
    auto refuse = [why](const std::string& reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (bytes.size() > kMaxRecordBytes)
        return refuse("it is larger than " + std::to_string(kMaxRecordBytes) + " bytes");
    std::string line = bytes;
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
        line.resize(line.size() - 2);
    else if (!line.empty() && line.back() == '\n')
        line.pop_back();

    std::string folder;
    if (line.compare(0, kUtf8ByteOrderMark.size(), kUtf8ByteOrderMark) == 0) {
        folder = line.substr(kUtf8ByteOrderMark.size());
        if (!IsUtf8(folder))
            return refuse("it is not valid UTF-8");
    } else {
        folder = IsAscii(line) ? line : fromAnsi(line);
    }
    if (const auto refusal = FolderRefusal(folder))
        return refuse("it names a folder that " + *refusal);
    return folder;
}

} // namespace kv
