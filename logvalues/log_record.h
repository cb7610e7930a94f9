// One record of the monitoring log: seven fields of at most 19 characters.
#pragma once

namespace logvalues {

constexpr int kFieldCount = 7;   // fields of one record
constexpr int kFieldSize = 20;   // 19 characters and NUL
constexpr int kValueSources = 4; // sources 1 to 4 are fields 4 to 7
constexpr int kFirstValueField = kFieldCount - kValueSources;  // index of field 4

struct LogRecord {
    char fields[kFieldCount][kFieldSize];
};

}  // namespace logvalues
