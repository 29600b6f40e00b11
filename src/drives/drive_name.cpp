#include "drives/drive_name.h"

namespace kv {

std::string FolderOfTarget(const std::string& target) {
    std::string folder = target.size() > 4 ? target.substr(4) : std::string();
    if (folder.compare(0, 4, "UNC\\") == 0)
        folder.replace(0, 3, "\\");
    return folder;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

} // namespace kv
