#include "logvalues/log_reader.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace logvalues {
namespace {

enum ByteKind : unsigned char { kField = 0, kWhite = 1 };

// Ends the data; a block is cut at it before its bytes are read.
constexpr unsigned char kEndOfData = 0x1A;

struct ByteKinds {
    unsigned char kind[256];
    constexpr ByteKinds() : kind() {
        const char white[] = " \t\n\v\f\r";
        for (int i = 0; white[i] != '\0'; ++i)
            kind[static_cast<unsigned char>(white[i])] = kWhite;
    }
};
constexpr ByteKinds kKinds;

// Stores the first take bytes of a run as the field's text.
void StoreRun(char (&field)[kFieldSize], const unsigned char* run, size_t take) {
    memcpy(field, run, take);
    field[take] = '\0';
}

#if defined(__SSE2__)
// 0xFF where byte i of the sixteen at p is white space, 0 elsewhere.
__m128i WhiteBytes(const unsigned char* p) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i space = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '));
    // Tab to carriage return are 0x09 to 0x0D: moved to -128 to -124, they alone
    // are below -123 as signed bytes.
    __m128i shifted = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - 0x09)));
    __m128i controls = _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + 5)));
    return _mm_or_si128(space, controls);
}

// Bit i set where byte i of the sixteen at p is white space.
uint32_t WhiteMask(const unsigned char* p) {
    return static_cast<uint32_t>(_mm_movemask_epi8(WhiteBytes(p)));
}
#endif

// The first 0x1A in [p, end), or end: sixty-four bytes at a time where SSE2 is
// there. (A C runtime's memchr may go a byte at a time: Wine's msvcrt does.)
const unsigned char* FindEndOfData(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
    const __m128i stop = _mm_set1_epi8(static_cast<char>(kEndOfData));
    for (; end - p >= 64; p += 64) {
        __m128i a = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), stop);
        __m128i b = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), stop);
        __m128i c = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), stop);
        __m128i d = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)), stop);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0)
            break;  // in these 64 bytes
    }
#endif
    while (p < end && *p != kEndOfData)
        ++p;
    return p;
}

}  // namespace

uint32_t CountRunStartsScalar(const unsigned char* p, const unsigned char* end, uint32_t previousWhite) {
    uint32_t runs = 0;
    for (; p < end; ++p) {
        uint32_t white = kKinds.kind[*p] == kWhite;
        runs += (white ^ 1) & previousWhite;
        previousWhite = white;
    }
    return runs;
}

uint32_t CountRunStarts(const unsigned char* p, const unsigned char* end) {
    uint32_t runs = 0;
    uint32_t previousWhite = 1;
#if defined(__SSE2__)
    // A run starts at a non-white byte after a white one: per byte, 1 where one
    // starts, summed in 16 byte counters that are added up before they can overflow.
    __m128i before = _mm_set1_epi8(-1);  // whiteness of the bytes before, as 0xFF; byte 15 counts
    while (end - p >= 64) {
        __m128i counts = _mm_setzero_si128();
        for (int i = 0; i < 63 && end - p >= 64; ++i, p += 64) {
            for (int k = 0; k < 64; k += 16) {
                __m128i white = WhiteBytes(p + k);
                __m128i previous = _mm_or_si128(_mm_slli_si128(white, 1), _mm_srli_si128(before, 15));
                counts = _mm_sub_epi8(counts, _mm_andnot_si128(white, previous));
                before = white;
            }
        }
        __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        runs += static_cast<uint32_t>(_mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
    previousWhite = static_cast<uint32_t>(_mm_movemask_epi8(before)) >> 15;
#endif
    return runs + CountRunStartsScalar(p, end, previousWhite);
}

LogReader::LogReader(LogRecord& record, RecordSink* sink, bool byteAtATime)
    : record_(record), sink_(sink), firstField_(sink ? sink->firstFieldRead : 0), byteAtATime_(byteAtATime) {}

const unsigned char* LogReader::SkipHeader(const unsigned char* p, const unsigned char* end) {
    for (; p < end && headerLineFeeds_ < 3; ++p) {
        if (*p == '\n') {
            ++headerLineFeeds_;
        } else if (*p == kEndOfData) {
            ended_ = true;
            break;
        }
    }
    // Until the first record, reading may go on from wherever the header reading stopped.
    mark_.offset = OffsetOf(p);
    mark_.headerLineFeeds = headerLineFeeds_;
    mark_.hasFields = false;
    return ended_ ? end : p;
}

// Reads on in the run of the field being read: stores what fits of it, up to the
// first byte that is not part of it.
const unsigned char* LogReader::ContinueRun(const unsigned char* p, const unsigned char* end) {
    const unsigned char* q = p;
    while (q < end && kKinds.kind[*q] == kField)
        ++q;
    size_t room = (kFieldSize - 1) - stored_;
    size_t take = static_cast<size_t>(q - p) < room ? static_cast<size_t>(q - p) : room;
    if (take > 0 && field_ >= firstField_) {
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

// Every run into its field, the sink told of each record as the next one starts.
void LogReader::ReadRecords(const unsigned char* p, const unsigned char* end) {
    while (p < end) {
        if (inRun_) {
            p = ContinueRun(p, end);
            continue;
        }
        while (p < end && kKinds.kind[*p] == kWhite)
            ++p;
        if (p == end)
            break;
        if (field_ == kFieldCount) {  // an eighth field starts the next record
            sink_->OnRecord(record_);
            MarkRecordStart(p);
            field_ = 0;
        }
        inRun_ = true;
        stored_ = 0;
    }
}

#if defined(__SSE2__)
// The same as ReadRecords, 32 bytes at a time: in the mask of white bytes, a run
// starts at a field byte after a white one and ends at the next white byte. A run
// the sink reads has its first 19 bytes stored where it starts, as far as the block
// holds them, and cut to its length where it ends; the others are only counted. A
// run begun in the block before, and the last bytes of the block, go byte by byte.
void LogReader::ReadRecordsByRuns(const unsigned char* p, const unsigned char* end) {
    if (inRun_)
        p = ContinueRun(p, end);
    char(*fields)[kFieldSize] = record_.fields;
    const int first = firstField_;
    int next = field_;                    // the field of the next run to start
    const unsigned char* open = nullptr;  // a stored run that went on past the last 32 bytes
    bool inRun = false;                   // a run went on past the last 32 bytes
    uint32_t previousWhite = 1;           // p is at white space or where a run starts
    for (; end - p >= 32; p += 32) {
        uint32_t white = WhiteMask(p) | (WhiteMask(p + 16) << 16);
        if (inRun) {
            if (white == 0)
                continue;  // the run goes on through these 32 bytes
            if (open) {
                size_t length = static_cast<size_t>(p + __builtin_ctz(white) - open);
                fields[next - 1][length < kFieldSize - 1 ? length : kFieldSize - 1] = '\0';
            }
            inRun = false;
            open = nullptr;
        }
        uint32_t starts = ~white & ((white << 1) | previousWhite);
        previousWhite = white >> 31;
        for (; starts != 0; starts &= starts - 1) {
            if (next == kFieldCount) {  // the record before this run had its seven fields
                sink_->OnRecord(record_);
                MarkRecordStart(p + __builtin_ctz(starts));
                next = 0;
            }
            if (next < first) {  // not stored: only counted
                ++next;
                continue;
            }
            uint32_t at = __builtin_ctz(starts);
            const unsigned char* run = p + at;
            char* field = fields[next++];
            if (end - run >= kFieldSize - 1)
                memcpy(field, run, kFieldSize - 1);
            else
                memcpy(field, run, static_cast<size_t>(end - run));
            uint32_t after = (white >> at) >> 1;  // the white bytes after the run's first
            if (after == 0) {
                open = run;  // it ends in the next 32 bytes or later
                break;
            }
            size_t length = __builtin_ctz(after) + 1;
            field[length < kFieldSize - 1 ? length : kFieldSize - 1] = '\0';
        }
        inRun = open || (white >> 31) == 0;
    }
    field_ = inRun ? next - 1 : next;
    if (inRun) {  // the run goes on past p, as if read byte by byte up to p
        inRun_ = true;
        stored_ = 0;
        if (open) {
            stored_ = p - open < kFieldSize - 1 ? static_cast<int>(p - open) : kFieldSize - 1;
            fields[field_][stored_] = '\0';
        }
    }
    ReadRecords(p, end);
}
#endif

// A record starts at p; the mark's fields are to hold the record before it.
void LogReader::MarkAt(const unsigned char* p) {
    mark_.offset = OffsetOf(p);
    mark_.headerLineFeeds = 3;
    mark_.hasFields = true;
}

// The record that just ended is the state from which reading can go on at p.
void LogReader::MarkRecordStart(const unsigned char* p) {
    MarkAt(p);
    memcpy(&mark_.fields, &record_, sizeof record_);
}

// Only the last run of each field index in the block is stored: the runs are
// counted, then the last seven found again from the end of the block. When a record
// starts in the block, the seven runs before the last such start are the mark's
// fields, so the search goes on back to them.
void LogReader::ReadLastFields(const unsigned char* p, const unsigned char* end) {
    if (inRun_)
        p = ContinueRun(p, end);
    if (p == end)
        return;
    // p is at white space or at the start of a run: no run is cut in two here.
    uint32_t runs = CountRunStarts(p, end);
    if (runs == 0)
        return;
    bool afterRecord = field_ == kFieldCount;
    uint32_t first = afterRecord ? 0 : field_;  // field index of the block's first run
    uint32_t last = (first + runs - 1) % kFieldCount;
    // Runs are numbered 0 to runs - 1 in the block; the last record begun starts at
    // run runs - 1 - last. Its start marks a point to go on from unless it is the
    // first record after the header or after the mark reading went on from.
    bool marks = runs > last && (runs - 1 - last > 0 || afterRecord);
    uint32_t wanted = marks ? last + 1 + kFieldCount : kFieldCount;
    if (wanted > runs)
        wanted = runs;
    if (marks)
        memcpy(&mark_.fields, &record_, sizeof record_);  // for fields whose runs came before the block
    const unsigned char* q = end;
    for (uint32_t k = 0; k < wanted; ++k) {
        while (kKinds.kind[q[-1]] == kWhite)
            --q;
        const unsigned char* runEnd = q;
        while (q > p && kKinds.kind[q[-1]] != kWhite)
            --q;
        int index = static_cast<int>((first + runs - 1 - k) % kFieldCount);
        size_t take = static_cast<size_t>(runEnd - q) < kFieldSize - 1 ? static_cast<size_t>(runEnd - q)
                                                                        : kFieldSize - 1;
        if (k < kFieldCount)
            StoreRun(record_.fields[index], q, take);
        if (marks && k > last)  // a run of the record before the mark
            StoreRun(mark_.fields.fields[index], q, take);
        if (marks && k == last)
            MarkAt(q);
        if (k == 0)
            stored_ = static_cast<int>(take);
    }
    inRun_ = kKinds.kind[end[-1]] != kWhite;  // the last run goes on in the next block
    field_ = inRun_ ? last : last + 1;
}

void LogReader::GoOnFrom(const ReaderMark& mark) {
    mark_ = mark;
    fed_ = mark.offset;
    headerLineFeeds_ = mark.headerLineFeeds;
    field_ = 0;
    stored_ = 0;
    inRun_ = false;
    ended_ = false;
    if (mark.hasFields)
        memcpy(&record_, &mark.fields, sizeof record_);
}

bool LogReader::Feed(const unsigned char* data, size_t size) {
    const unsigned char* p = data;
    const unsigned char* end = data + size;
    if (ended_)
        return false;
    block_ = data;
    blockOffset_ = fed_;
    fed_ += size;
    if (headerLineFeeds_ < 3)
        p = SkipHeader(p, end);
    if (ended_ || p == end)
        return !ended_;
    if (const unsigned char* stop = FindEndOfData(p, end); stop != end) {
        end = stop;
        ended_ = true;
    }
    if (!sink_)
        ReadLastFields(p, end);
#if defined(__SSE2__)
    else if (!byteAtATime_)
        ReadRecordsByRuns(p, end);
#endif
    else
        ReadRecords(p, end);
    return !ended_;
}

void LogReader::Finish() {
    // Once the header is read, there is always a last record, even one that stores
    // no field; its fields not reached keep what they held.
    if (headerLineFeeds_ == 3 && sink_)
        sink_->OnRecord(record_);
}

void CutField(char* field, int k) {
    size_t len = strnlen(field, kFieldSize - 1);
    if (len >= static_cast<size_t>(k))
        field[len - k] = '\0';
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
