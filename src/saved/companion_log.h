// The companion's account of each logon, for a user whose drive did not come
// back: %LOCALAPPDATA%\Korvane\korstart.log, one line per event.
#pragma once

#include <string>
#include <vector>

#include "platform/os.h"

namespace kv {

// The log stays under 64 KiB: the oldest lines go first.
inline constexpr std::size_t kLogLimitBytes = 64 * 1024 - 1;

class CompanionLog {
public:
    explicit CompanionLog(Os& os) : os_(os) {}
    void Add(const std::string& line);
    // Appends the lines added since the last time, then trims the log.
    // Lines that cannot be written wait for the next flush; nobody is there
    // to be told, and nothing else waits for the log.
    void Flush();

private:
    Os& os_;
    std::string pending_;
};

// The text with whole lines dropped from its start until it fits the limit.
std::string KeepNewestLines(const std::string& text, std::size_t limit);

} // namespace kv
