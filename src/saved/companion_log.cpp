#include "saved/companion_log.h"

namespace kv {

namespace {

// Reading one byte past the limit tells a log that must be trimmed from one
// that just fits.
std::optional<std::string> LogEnd(Os& os, const std::string& path) { return os.ReadFileEnd(path, kLogLimitBytes + 1); }

// The newest lines go to a file beside the log, which then takes the log's
// place in one step: a failure on the way leaves the whole log as it was.
// Another session of the same user may append meanwhile; its lines would go
// with the old file, so a log that changed since it was read is left for the
// next trim.
void TrimLog(Os& os, const std::string& path) {
    const auto end = LogEnd(os, path);
    if (!end || end->size() <= kLogLimitBytes)
        return;
    const std::string trimmed = path + ".new";
    if (os.WriteFile(trimmed, KeepNewestLines(*end, kLogLimitBytes)) || LogEnd(os, path) != end ||
        os.MoveFileOver(trimmed, path))
        os.DeleteFile(trimmed);
}

} // namespace

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
    if (os_.AppendToFile(path, pending_))
        return; // kept for the next flush
    pending_.clear();
    TrimLog(os_, path);
}

} // namespace kv
