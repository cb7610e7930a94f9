#include "logvalues/log_reader.h"

#include <cstring>

#include "logvalues/maxima_fold.h"
#include "logvalues/run_masks.h"

namespace logvalues {
namespace {

// Ends the data; a block is cut at it before its bytes are read.
constexpr unsigned char kEndOfData = 0x1A;

// Stores the first take bytes of a run as the field's text.
void StoreRun(char (&field)[kFieldSize], const unsigned char* run, size_t take) {
    memcpy(field, run, take);
    field[take] = '\0';
}

size_t StoredLength(const unsigned char* run, const unsigned char* runEnd) {
    size_t n = static_cast<size_t>(runEnd - run);
    return n < kFieldSize - 1 ? n : kFieldSize - 1;
}

}  // namespace

LogReader::LogReader(LogRecord& record) : record_(record) {}

LogReader::LogReader(LogRecord& record, MaximaFold& fold) : record_(record), fold_(&fold) {}

LogReader::LogReader(LogRecord& record, RecordSink& sink) : record_(record), sink_(&sink) {}

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

// Reads on in the run of the field being read, up to the first byte that is not
// part of it, and stores what fits of it.
const unsigned char* LogReader::ContinueRun(const unsigned char* p, const unsigned char* end) {
    const unsigned char* q = runs::EndOfRun(p, end);
    size_t room = (kFieldSize - 1) - stored_;
    size_t take = static_cast<size_t>(q - p) < room ? static_cast<size_t>(q - p) : room;
    char* field = record_.fields[field_];
    memcpy(field + stored_, p, take);
    stored_ += static_cast<int>(take);
    field[stored_] = '\0';
    if (q < end)  // the run ended inside this block
        EndRun();
    return q;
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

// Actual's and Max's reading of a block. A run that goes on past the block is
// stored as far as the block holds it, and ranked by Max once it has ended.
void LogReader::ReadByRuns(const unsigned char* p, const unsigned char* end) {
    if (inRun_)
        p = ContinueRun(p, end);
    if (p == end)
        return;
    // p is at white space or at the start of a run: no run is cut in two here.
    uint32_t runs;
    if (fold_) {
        bool lastGoesOn = !runs::IsWhite(end[-1]);
        const unsigned char* limit = lastGoesOn ? runs::StartOfRun(p, end) : end;
        int first = field_ == kFieldCount ? 0 : field_;
        runs = runs::WalkValueRuns(p, limit, first, fold_->Bars(), *fold_) + (lastGoesOn ? 1 : 0);
    } else {
        runs = runs::CountRunStarts(p, end);
    }
    StoreLastFields(p, end, runs);
}

// Only the last run of each field index in the block is stored: the block's runs
// were counted, and the last seven are found again from the end of the block. When
// a record starts in the block, the seven runs before the last such start are the
// mark's fields, so the search goes on back to them.
void LogReader::StoreLastFields(const unsigned char* p, const unsigned char* end, uint32_t runs) {
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
        const unsigned char* runEnd = runs::EndOfLastRun(p, q);
        q = runs::StartOfRun(p, runEnd);
        int index = static_cast<int>((first + runs - 1 - k) % kFieldCount);
        size_t take = StoredLength(q, runEnd);
        if (k < kFieldCount)
            StoreRun(record_.fields[index], q, take);
        if (marks && k > last)  // a run of the record before the mark
            StoreRun(mark_.fields.fields[index], q, take);
        if (marks && k == last)
            MarkAt(q);
        if (k == 0)
            stored_ = static_cast<int>(take);
    }
    inRun_ = !runs::IsWhite(end[-1]);  // the last run goes on in the next block
    field_ = inRun_ ? last : last + 1;
}

// Every run into its field, a byte at a time; the sink is told of each record as
// the next one starts.
void LogReader::ReadByteByByte(const unsigned char* p, const unsigned char* end) {
    for (; p < end; ++p) {
        if (runs::IsWhite(*p)) {
            if (inRun_) {
                inRun_ = false;
                ++field_;
            }
            continue;
        }
        if (!inRun_) {
            if (field_ == kFieldCount) {  // an eighth field starts the next record
                sink_->OnRecord(record_);
                MarkRecordStart(p);
                field_ = 0;
            }
            inRun_ = true;
            stored_ = 0;
        }
        if (stored_ < kFieldSize - 1) {
            record_.fields[field_][stored_++] = static_cast<char>(*p);
            record_.fields[field_][stored_] = '\0';
        }
    }
}

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
    if (const unsigned char* stop = runs::FindEndOfData(p, end); stop != end) {
        end = stop;
        ended_ = true;
    }
    if (sink_)
        ReadByteByByte(p, end);
    else
        ReadByRuns(p, end);
    return !ended_;
}

void LogReader::Finish() {
    if (inRun_ && !sink_)
        EndRun();  // the end of the file ends the last run
    // Once the header is read, there is always a last record, even one that stores
    // no field; its fields not reached keep what they held.
    if (headerLineFeeds_ == 3 && sink_)
        sink_->OnRecord(record_);
}

}  // namespace logvalues
