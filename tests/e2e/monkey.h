// A bounded run of random user actions against Korvane (see monkey.cpp).
#pragma once

#include <string>

namespace e2e {

// Plays for about `seconds`, writing each action to `trailFile`; returns
// "PASS: <n> actions in <s> s, seed <seed>" or "FAIL: <why>; in action ...".
std::string RunMonkey(int seconds, unsigned seed, const std::string& trailFile);

} // namespace e2e
