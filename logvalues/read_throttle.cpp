#include "logvalues/read_throttle.h"

namespace logvalues {

bool TakeIfDue(ReadThrottle& throttle, uint64_t now) {
    uint64_t last = throttle.lastRead;
    bool due = last == 0 || now < last || now - last >= kRefreshInterval;
    if (due)
        throttle.lastRead = now;
    return due;
}

}  // namespace logvalues
