#pragma once

#include <string>

namespace kv {

// Every walk over the letters runs A to Z; the closing semicolon is never visited.
inline constexpr char kDriveLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ;";

// "X:" — the one text by which the whole program names a drive.
inline std::string DriveName(char letter) { return std::string(1, letter) + ':'; }

// The folder a virtual drive's target names, without the "\\??\\" prefix. A
// share appears there as "\\??\\UNC\\server\\share" and becomes
// "\\\\server\\share", the name every other call takes.
std::string FolderOfTarget(const std::string& target);

// The text without leading and trailing blanks.
std::string Trim(const std::string& text);

} // namespace kv
