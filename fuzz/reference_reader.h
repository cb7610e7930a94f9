// The log's reading rules as plainly as they can be written: one byte at a time,
// as a formatted-input loop reads them, every record kept, and the maxima folded
// by the whole rank over every value. The tests and the fuzzers hold the reader
// to it.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "logvalues/log_record.h"
#include "logvalues/source_field.h"
#include "logvalues/value_rank.h"

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

// Where a reading may go on: the start of the last record begun but the first
// (with the record before it), or where the header reading stopped.
struct Mark {
    size_t offset = 0;
    int headerLineFeeds = 0;
    bool hasFields = false;
    logvalues::LogRecord fields{};
};

// Reads the log into record, handing every record to records.
inline void ReadLog(const unsigned char* data, size_t size, logvalues::LogRecord& record,
                    std::vector<logvalues::LogRecord>& records, Mark* mark = nullptr) {
    Mark ignored;
    mark = mark ? mark : &ignored;
    *mark = {};
    Bytes in{data, size};
    for (int lineFeeds = 0; lineFeeds < 3;) {
        int c = in.Get();
        mark->offset = in.pos;
        if (c == -1)
            return;
        if (c == '\n')
            mark->headerLineFeeds = ++lineFeeds;
    }
    for (size_t begun = 0; !in.eof;) {
        for (int f = 0; f < logvalues::kFieldCount && SkipWhite(in); ++f) {
            if (f == 0 && begun++ > 0)
                *mark = {in.pos, 3, true, record};
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

using Maxima = char[logvalues::kValueSources][logvalues::kFieldSize];

// The maxima, from empty ones, of every value of records, each cut and ranked in full.
inline void FoldMaxima(const std::vector<logvalues::LogRecord>& records, Maxima& maxima) {
    memset(maxima, 0, sizeof maxima);
    for (const logvalues::LogRecord& r : records) {
        for (int source = 1; source <= logvalues::kValueSources; ++source) {
            char cut[logvalues::kFieldSize];
            logvalues::CutSourceField(r, source, cut);
            if (logvalues::RanksAbove(cut, maxima[source - 1], source))
                memcpy(maxima[source - 1], cut, sizeof cut);
        }
    }
}

}  // namespace reference
