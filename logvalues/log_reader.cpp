#include "logvalues/log_reader.h"

#include <cstring>

namespace logvalues {
namespace {

enum ByteKind : unsigned char { kField = 0, kWhite = 1, kEnd = 2 };

constexpr unsigned char kEndOfData = 0x1A;

struct ByteKinds {
    unsigned char kind[256];
    constexpr ByteKinds() : kind() {
        const char white[] = " \t\n\v\f\r";
        for (int i = 0; white[i] != '\0'; ++i)
            kind[static_cast<unsigned char>(white[i])] = kWhite;
        kind[kEndOfData] = kEnd;
    }
};
constexpr ByteKinds kKinds;

// The pass's block buffer: one pass runs at a time, so both value functions share it.
unsigned char g_block[256 * 1024];

constexpr int kCutCounts[kValueSources] = {2, 2, 4, 4};

}  // namespace

const unsigned char* LogReader::SkipHeader(const unsigned char* p, const unsigned char* end) {
    for (; p < end && headerLineFeeds_ < 3; ++p) {
        if (*p == '\n') {
            ++headerLineFeeds_;
        } else if (*p == kEndOfData) {
            ended_ = true;
            return end;
        }
    }
    return p;
}

// Reads on in the run of the field being read: stores what fits of it, up to the
// first byte that is not part of it.
const unsigned char* LogReader::ContinueRun(const unsigned char* p, const unsigned char* end) {
    const unsigned char* q = p;
    while (q < end && kKinds.kind[*q] == kField)
        ++q;
    size_t room = (kFieldSize - 1) - stored_;
    size_t take = static_cast<size_t>(q - p) < room ? static_cast<size_t>(q - p) : room;
    if (take > 0) {
        char* field = record_.fields[field_];
        memcpy(field + stored_, p, take);
        stored_ += static_cast<int>(take);
        field[stored_] = '\0';
    }
    if (q < end) {  // the run ended inside this block
        inRun_ = false;
        ++field_;
    }
    return q;
}

bool LogReader::Feed(const unsigned char* data, size_t size) {
    const unsigned char* p = data;
    const unsigned char* end = data + size;
    if (headerLineFeeds_ < 3)
        p = SkipHeader(p, end);
    while (p < end && !ended_) {
        if (inRun_) {
            p = ContinueRun(p, end);
            continue;
        }
        while (p < end && kKinds.kind[*p] == kWhite)
            ++p;
        if (p == end)
            break;
        if (*p == kEndOfData) {
            ended_ = true;
            break;
        }
        if (field_ == kFieldCount) {  // an eighth field starts the next record
            if (sink_)
                sink_->OnRecord(record_);
            field_ = 0;
        }
        inRun_ = true;
        stored_ = 0;
    }
    return !ended_;
}

void LogReader::Finish() {
    // Once the header is read, there is always a last record, even one that stores
    // no field; its fields not reached keep what they held.
    if (headerLineFeeds_ == 3 && sink_)
        sink_->OnRecord(record_);
}

bool RunPass(const char* path, LogFile& file, LogRecord& record, RecordSink* sink) {
    if (!path || !file.Open(path))
        return false;
    LogReader reader(record, sink);
    for (;;) {
        int32_t n = file.Read(g_block, sizeof g_block);
        if (n <= 0 || !reader.Feed(g_block, static_cast<size_t>(n)))
            break;
    }
    reader.Finish();
    file.Close();
    return true;
}

void CutField(char* field, int k) {
    size_t len = strnlen(field, kFieldSize - 1);
    if (len >= static_cast<size_t>(k))
        field[len - k] = '\0';
}

int CutCountOf(int source) {
    return kCutCounts[source - 1];
}

void CutSourceField(const LogRecord& record, int source, char (&out)[kFieldSize]) {
    memcpy(out, record.fields[kFieldCount - kValueSources + source - 1], kFieldSize);
    out[kFieldSize - 1] = '\0';
    CutField(out, CutCountOf(source));
}

ValueText AnsweredText(const char* cutField, int source) {
    if (source == 1 || cutField[0] == '\0')
        return cutField;
    return cutField + 1;
}

bool TakeIfDue(ReadThrottle& throttle, uint64_t now) {
    uint64_t last = throttle.lastRead;
    bool due = last == 0 || now < last || now - last >= kRefreshInterval;
    if (due)
        throttle.lastRead = now;
    return due;
}

}  // namespace logvalues
