// The log's reading rules as plainly as they can be written: one byte at a time,
// as a formatted-input loop reads them. The fuzzers hold the real reader to it.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "logvalues/log_reader.h"

namespace reference {

struct Bytes {
    const unsigned char* data;
    size_t size;
    size_t pos = 0;
    bool eof = false;

    // The next byte, or -1 at the end of the data (its size, or a 0x1A byte).
    int Get() {
        if (pos >= size || data[pos] == 0x1A) {
            eof = true;
            return -1;
        }
        return data[pos++];
    }
    void Unget() { --pos; }
};

inline bool IsWhite(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips white space; false at the end of the data.
inline bool SkipWhite(Bytes& in) {
    for (int c; (c = in.Get()) != -1;) {
        if (!IsWhite(c)) {
            in.Unget();
            return true;
        }
    }
    return false;
}

// Reads the log into record, handing every record to records.
inline void ReadLog(const unsigned char* data, size_t size, logvalues::LogRecord& record,
                    std::vector<logvalues::LogRecord>& records) {
    Bytes in{data, size};
    for (int lineFeeds = 0; lineFeeds < 3;) {
        int c = in.Get();
        if (c == -1)
            return;
        if (c == '\n')
            ++lineFeeds;
    }
    while (!in.eof) {
        for (int f = 0; f < logvalues::kFieldCount && SkipWhite(in); ++f) {
            int stored = 0;
            for (int c; (c = in.Get()) != -1;) {
                if (IsWhite(c)) {
                    in.Unget();
                    break;
                }
                if (stored < logvalues::kFieldSize - 1)
                    record.fields[f][stored++] = static_cast<char>(c);
            }
            record.fields[f][stored] = '\0';
        }
        SkipWhite(in);
        records.push_back(record);
    }
}

}  // namespace reference
