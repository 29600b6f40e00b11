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
    // Appends the lines added since the last time; a log that cannot be
    // written is given up without a word, as nobody is there to read one.
    void Flush();

private:
    Os& os_;
    std::string pending_;
};

// The text with whole lines dropped from its start until it fits the limit.
std::string KeepNewestLines(const std::string& text, std::size_t limit);

} // namespace kv
