// Calls that take as long as a drive takes to answer, which for a share
// whose server has gone can be minutes. They run away from the window's
// thread; their answers come back on it, from its message loop.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kv {

class SlowCalls {
public:
    struct LongPath {
        bool answered = false;           // false: no answer within the bound
        std::optional<std::string> path; // nothing when the system has no long form
    };
    using LongPathAnswer = std::function<void(const LongPath&)>;

    virtual ~SlowCalls() = default;
    // `answer` is called once, when the system answers or the bound passes,
    // whichever comes first.
    virtual void LongPathName(const std::string& path, LongPathAnswer answer) = 0;
    // Hands the folder to the shell to explore; the shell's own look at the
    // folder waits on a thread of its own.
    virtual void Explore(const std::string& folder) = 0;
};

} // namespace kv
