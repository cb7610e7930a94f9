// Reading the monitoring log: stage two, which makes records of the fields that
// stage one (field_finder.h) finds in each piece of a block. The record is in
// log_record.h, the file and the clock in log_file.h, the cut and the answered
// text in source_field.h, the five-second rule in read_throttle.h; one pass over
// the file is in log_pass.h, the value functions in current_values.h and
// running_maxima.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "logvalues/field_finder.h"
#include "logvalues/log_file.h"
#include "logvalues/log_record.h"
#include "logvalues/quick_test.h"
#include "logvalues/read_throttle.h"
#include "logvalues/source_field.h"

namespace logvalues {

class MaximaFold;

// A point from which reading can go on as if the file had been read from its start:
// the start of the last record begun (or, before the first record, where the header
// reading stopped), with the reader's state there.
struct ReaderMark {
    uint64_t offset;
    int headerLineFeeds;
    bool hasFields;    // fields holds the record as it stood at offset; otherwise a
                       // pass from here keeps the record as it finds it, as a pass
                       // from the file's start does with the fields it never reaches
    LogRecord fields;
};

// Applies the log's byte rules to the bytes of a file fed in blocks of any size:
// skips the three header lines, then takes every run of non-white bytes (its first
// 19 bytes) as the next field, seven fields a record. 0x1A ends the data. CR LF
// reads as LF and a lone CR stays CR; both are white space, so the reader needs no
// translation to honour that. Every reading leaves record as the last record read
// and keeps the mark of the last record begun; Max's reading also offers every
// value of fields 4 to 7 to its fold.
class LogReader {
public:
    // Actual's reading: only the last record matters, so the fields of a piece are
    // counted and just the last seven (and those of the mark) are stored.
    explicit LogReader(LogRecord& record);
    // Max's reading: the same, and every value of fields 4 to 7 is held against
    // fold's bar in place in the block; the values the bar does not turn away go
    // to fold.
    LogReader(LogRecord& record, MaximaFold& fold);

    // Goes on from a mark of an earlier reading of the same bytes.
    void GoOnFrom(const ReaderMark& mark);

    // Returns false once the data has ended (0x1A); later blocks are ignored.
    bool Feed(const unsigned char* data, size_t size);
    // The end of the file (or a read error): the record in progress is the last one.
    void Finish();

    // The last point reached from which a later reading may go on.
    const ReaderMark& Mark() const { return mark_; }

private:
    const unsigned char* SkipHeader(const unsigned char* p, const unsigned char* end);
    void ReadPiece(const unsigned char* p, uint32_t size, size_t readable);
    uint32_t ContinueRun(const unsigned char* p);
    void EndRun();
    void JudgeValues(const unsigned char* p, uint32_t n, uint32_t readable);
    void JudgeValue(int source, const unsigned char* p, uint32_t at, uint32_t limit);
    void StoreLastFields(const unsigned char* p, uint32_t runs);
    void MarkAt(const unsigned char* p);
    uint64_t OffsetOf(const unsigned char* p) const { return blockOffset_ + (p - block_); }

    LogRecord& record_;
    MaximaFold* fold_ = nullptr;  // Max's reading
    const finder::Finder& finder_;
    QuickTestFn quickTest_ = nullptr;  // Max's
    ReaderMark mark_{};
    const unsigned char* block_ = nullptr;  // the block being read, which starts at
    uint64_t blockOffset_ = 0;              // this offset in the file
    uint64_t fed_ = 0;                      // offset of the next block
    int headerLineFeeds_ = 0;
    int field_ = 0;   // field being read, or 7 once a record's seventh run has ended
    int stored_ = 0;  // bytes stored of the field being read
    bool inRun_ = false;
    bool ended_ = false;
};

}  // namespace logvalues
