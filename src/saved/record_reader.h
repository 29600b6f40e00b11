// Reading a saved-drive record back: what the companion does at logon with
// each record file. Pure, so that it can be tested and fuzzed on any host.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace kv {

// Starts a record written in UTF-8; without it a record is in the ANSI code page.
inline const std::string kUtf8ByteOrderMark = "\xEF\xBB\xBF";
// A folder path with its line end is far shorter; anything larger is no record.
inline constexpr std::size_t kMaxRecordBytes = 4096;

// Turns bytes in the system's ANSI code page into UTF-8.
using AnsiDecoder = std::function<std::string(const std::string&)>;

// The folder a record names, in UTF-8; nothing when the bytes are no record
// that names a folder by its full path, and then why in `why`.
std::optional<std::string> ReadRecord(const std::string& bytes, const AnsiDecoder& fromAnsi,
                                      std::string* why = nullptr);

// Why the companion could not bring back a drive on this folder, as the end
// of a sentence about it ("is on a network path, ..."); nothing when it can.
std::optional<std::string> FolderRefusal(const std::string& folder);

} // namespace kv
