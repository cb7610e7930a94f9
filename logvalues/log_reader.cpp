#include "logvalues/log_reader.h"

#include <cstring>

#include "logvalues/bit_scan.h"
#include "logvalues/maxima_fold.h"
#include "logvalues/value_bar.h"

namespace logvalues {
namespace {

constexpr unsigned char kEndOfData = 0x1A;
constexpr uint32_t kNone = UINT32_MAX;

// The index of the piece being read. One pass runs at a time, so both value
// functions share it, and Max's list of field starts and of the records that
// fail the quick test.
finder::PieceIndex g_index;
finder::Offset g_starts[finder::kStartListSize];
uint32_t g_failing[finder::kStartListSize / kFieldCount + 1];

uint32_t WordsOf(uint32_t size) {
    return (size + finder::kWordBits - 1) / finder::kWordBits;
}

// The first set bit at from or after, or size when there is none.
uint32_t NextBit(const finder::Word* words, uint32_t from, uint32_t size) {
    if (from >= size)
        return size;
    uint32_t w = from / finder::kWordBits;
    finder::Word m = words[w] & (~finder::Word{0} << (from % finder::kWordBits));
    while (m == 0) {
        if (++w >= WordsOf(size))
            return size;
        m = words[w];
    }
    return w * finder::kWordBits + static_cast<uint32_t>(bits::Lowest(m));
}

// The last set bit before before, or kNone.
uint32_t PreviousBit(const finder::Word* words, uint32_t before) {
    uint32_t w = before / finder::kWordBits;
    uint32_t bit = before % finder::kWordBits;
    finder::Word m = bit ? words[w] & ((finder::Word{1} << bit) - 1) : 0;
    while (m == 0) {
        if (w == 0)
            return kNone;
        m = words[--w];
    }
    return w * finder::kWordBits + static_cast<uint32_t>(bits::Highest(m));
}

// Stores the first take bytes of a run as the field's text.
void StoreRun(char (&field)[kFieldSize], const unsigned char* run, uint32_t take) {
    memcpy(field, run, take);
    field[take] = '\0';
}

uint32_t StoredLength(uint32_t start, uint32_t end) {
    return end - start < kFieldSize - 1 ? end - start : kFieldSize - 1;
}

}  // namespace

LogReader::LogReader(LogRecord& record) : record_(record), finder_(finder::ForThisCpu()) {}

LogReader::LogReader(LogRecord& record, MaximaFold& fold)
    : record_(record), fold_(&fold), finder_(finder::ForThisCpu()), quickTest_(QuickTestFor(finder_.width)) {}

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

// Reads on in the run of the field being read, up to the piece's first field end,
// and stores what fits of it. Returns where the run ends in the piece.
uint32_t LogReader::ContinueRun(const unsigned char* p) {
    uint32_t end = NextBit(g_index.ends, 0, g_index.size);
    uint32_t room = (kFieldSize - 1) - stored_;
    uint32_t take = end < room ? end : room;
    char* field = record_.fields[field_];
    memcpy(field + stored_, p, take);
    stored_ += static_cast<int>(take);
    field[stored_] = '\0';
    if (end < g_index.size)  // the run ended inside this piece
        EndRun();
    return end;
}

// The run being read has ended; Max ranks it if it is a value, now that it is whole.
void LogReader::EndRun() {
    if (fold_ && field_ >= kFirstValueField) {
        fold_->Offer(field_ - kFirstValueField + 1, reinterpret_cast<const unsigned char*>(record_.fields[field_]),
                     stored_);
    }
    inRun_ = false;
    ++field_;
}

// The value of source at offset at of the piece p, whose run ends in the piece:
// the bar's tests in place where their bytes are in the piece, the whole rank
// where they fail.
void LogReader::JudgeValue(int source, const unsigned char* p, uint32_t at, uint32_t limit) {
    const ValueBar& bar = fold_->Bars()[source - 1];
    const unsigned char* field = p + at;
    if (at + kBarLookAhead <= limit && (QuickTurnsAway(bar, field) || TurnsAway(bar, field)))
        return;
    uint32_t end = NextBit(g_index.ends, at, g_index.size);
    fold_->Offer(source, field, static_cast<int>(StoredLength(at, end)));
}

// Max: every value among the first n runs that start in the piece (listed in
// g_starts), each of which ends in it; readable bytes from p may be read. The
// whole records are put to the quick test at once, against the bars as they
// stand: a maximum only rises, so a value that an older bar turns away ranks no
// higher than the newer maximum either. The values that fail it are judged in
// order against the bars of then.
void LogReader::JudgeValues(const unsigned char* p, uint32_t n, uint32_t readable) {
    uint32_t k = 0;
    int f = field_ == kFieldCount ? 0 : field_;
    for (; k < n && f != 0; ++k, f = f == kFieldCount - 1 ? 0 : f + 1) {  // a record begun before
        if (f >= kFirstValueField)
            JudgeValue(f - kFirstValueField + 1, p, g_starts[k], readable);
    }
    uint32_t records = (n - k) / kFieldCount;
    while (records > 0 && g_starts[k + records * kFieldCount - 1] + uint32_t{kBarLookAhead} > readable)
        --records;  // the bytes the test reads are not all there
    const finder::Offset* starts = g_starts + k;
    uint32_t failing = quickTest_(p, starts, records, fold_->Bars(), g_failing);
    for (uint32_t i = 0; i < failing; ++i) {
        const finder::Offset* values = starts + (g_failing[i] / 16) * kFieldCount + kFirstValueField;
        for (int j = 0; j < kValueSources; ++j) {
            if (g_failing[i] >> j & 1)
                JudgeValue(j + 1, p, values[j], readable);
        }
    }
    k += records * kFieldCount;
    for (; k < n; ++k, f = f == kFieldCount - 1 ? 0 : f + 1) {  // the rest, to a record that goes on after the piece
        if (f >= kFirstValueField)
            JudgeValue(f - kFirstValueField + 1, p, g_starts[k], readable);
    }
}

// Only the last run of each field index in the piece is stored: the piece's runs
// were counted, and the last seven are found again from the end of its index.
// When a record starts in the piece, the seven runs before the last such start
// are the mark's fields, so the search goes on back to them.
void LogReader::StoreLastFields(const unsigned char* p, uint32_t runs) {
    if (runs == 0)
        return;
    bool afterRecord = field_ == kFieldCount;
    uint32_t first = afterRecord ? 0 : field_;  // field index of the piece's first run
    uint32_t last = (first + runs - 1) % kFieldCount;
    // Runs are numbered 0 to runs - 1 in the piece; the last record begun starts at
    // run runs - 1 - last. Its start marks a point to go on from unless it is the
    // first record after the header or after the mark reading went on from.
    bool marks = runs > last && (runs - 1 - last > 0 || afterRecord);
    uint32_t wanted = marks ? last + 1 + kFieldCount : kFieldCount;
    if (wanted > runs)
        wanted = runs;
    if (marks)
        memcpy(&mark_.fields, &record_, sizeof record_);  // for fields whose runs came before the piece
    uint32_t before = g_index.size;
    for (uint32_t k = 0; k < wanted; ++k) {
        uint32_t start = PreviousBit(g_index.starts, before);
        uint32_t take = StoredLength(start, NextBit(g_index.ends, start, g_index.size));
        int index = static_cast<int>((first + runs - 1 - k) % kFieldCount);
        if (k < kFieldCount)
            StoreRun(record_.fields[index], p + start, take);
        if (marks && k > last)  // a run of the record before the mark
            StoreRun(mark_.fields.fields[index], p + start, take);
        if (marks && k == last)
            MarkAt(p + start);
        if (k == 0)
            stored_ = static_cast<int>(take);
        before = start;
    }
    inRun_ = !finder::IsWhite(p[g_index.size - 1]);  // the last run goes on in the next piece
    field_ = inRun_ ? static_cast<int>(last) : static_cast<int>(last) + 1;
}

// Stage one over the size bytes at p, then the records of its index. A run that
// goes on past the piece is stored as far as the piece holds it, and ranked by Max
// once it has ended. The block holds readable bytes from p.
void LogReader::ReadPiece(const unsigned char* p, uint32_t size, size_t readable) {
    finder_.Index(p, size, !inRun_, g_index, fold_ ? g_starts : nullptr);
    ended_ = g_index.endOfData;
    uint32_t data = g_index.size;
    uint32_t from = inRun_ ? ContinueRun(p) : 0;
    if (from >= data)
        return;
    uint32_t runs = g_index.startCount;
    if (fold_ && runs > 0) {
        bool lastGoesOn = !finder::IsWhite(p[data - 1]);
        // Past the end of the data the bytes are no field's: the tests stop there.
        uint32_t seen = ended_ || readable > UINT32_MAX ? data : static_cast<uint32_t>(readable);
        JudgeValues(p, lastGoesOn ? runs - 1 : runs, seen);  // a run that goes on is ranked once it ends
    }
    StoreLastFields(p, runs);
}

// A record starts at p; the mark's fields are to hold the record before it.
void LogReader::MarkAt(const unsigned char* p) {
    mark_.offset = OffsetOf(p);
    mark_.headerLineFeeds = 3;
    mark_.hasFields = true;
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
    while (p < end && !ended_) {
        size_t left = static_cast<size_t>(end - p);
        uint32_t n = left < finder::kPieceBytes ? static_cast<uint32_t>(left) : finder::kPieceBytes;
        ReadPiece(p, n, left);
        p += n;
    }
    return !ended_;
}

void LogReader::Finish() {
    if (inRun_)
        EndRun();  // the end of the file ends the last run
}

}  // namespace logvalues
