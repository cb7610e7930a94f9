// The five-second rule: each value function re-reads the log at most once every
// five seconds and answers the calls in between from what it read last.
#pragma once

#include <cstdint>

namespace logvalues {

struct ReadThrottle {
    uint64_t lastRead;  // 0: never read
};

constexpr uint64_t kRefreshInterval = 50'000'000;  // five seconds in 100 ns units

// A re-read is due on the first call, when five seconds have passed since the last,
// or when the clock was set back before it. When due, stores now as the last re-read.
bool TakeIfDue(ReadThrottle& throttle, uint64_t now);

}  // namespace logvalues
