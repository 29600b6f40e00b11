#include "saved/companion_log.h"

namespace kv {

std::string KeepNewestLines(const std::string& text, std::size_t limit) {
    if (text.size() <= limit)
        return text;
    const std::size_t lineEnd = text.find('\n', text.size() - limit - 1);
    return lineEnd == std::string::npos ? std::string() : text.substr(lineEnd + 1);
}

void CompanionLog::Add(const std::string& line) { pending_ += os_.LocalTimeStamp() + "  " + line + "\r\n"; }

void CompanionLog::Flush() {
    if (pending_.empty())
        return;
    const auto appData = os_.LocalAppDataFolder();
    if (!appData)
        return;
    const std::string folder = *appData + "\\Korvane";
    os_.CreateDirectory(folder);
    const std::string path = folder + "\\korstart.log";
    // A log grown past twice the limit by something else is started afresh.
    const std::string old = os_.ReadFile(path, 2 * kLogLimitBytes).value_or(std::string());
    os_.WriteFile(path, KeepNewestLines(old + pending_, kLogLimitBytes));
    pending_.clear();
}

} // namespace kv
