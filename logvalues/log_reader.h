// Reading the monitoring log: the record fields, the scanner that applies the log's
// byte rules over blocks of bytes, the cut rule and the five-second re-read rule.
// One pass over the file, from its start or going on from where the last stopped,
// is in log_pass.h; the value functions are in current_values.h and running_maxima.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace logvalues {

constexpr int kFieldCount = 7;   // fields of one record
constexpr int kFieldSize = 20;   // 19 characters and NUL
constexpr int kValueSources = 4; // sources 1 to 4 are fields 4 to 7

// A value function's answer: a NUL-terminated text in storage the module owns for
// as long as it is loaded. The host never frees it.
using ValueText = const char*;

inline constexpr const char* kInvalidParameter = "Invalid parameter";
inline constexpr const char* kErrorOpening = "Error opening the file";

struct LogRecord {
    char fields[kFieldCount][kFieldSize];
};

// Which file a path led to: two opens of the same file give the same identity, a
// file moved in over it another one. The creation time is no part of it: Wine on
// Linux gives the time of the last change in its place, which every append moves.
// A file deleted and written anew may get its number back where the file system
// reuses them at once (Linux does); the size and the checked bytes of a pass that
// goes on are what see that file is not the one read before.
struct FileIdentity {
    uint32_t volume;  // serial number of the volume
    uint64_t index;   // the file's index on that volume

    bool operator==(const FileIdentity&) const = default;
};

// The platform's side of a pass: CreateFileA/ReadFile on Windows, bytes in memory in tests.
struct LogFile {
    virtual bool Open(const char* path) = 0;
    // The open file's identity and size; false when the platform cannot tell.
    virtual bool Identify(FileIdentity& identity, uint64_t& size) = 0;
    // Moves the next Read to offset bytes from the start.
    virtual bool Seek(uint64_t offset) = 0;
    // Reads up to cap bytes; returns the count, 0 at the end, negative on a read error.
    virtual int32_t Read(unsigned char* buf, uint32_t cap) = 0;
    virtual void Close() = 0;

protected:
    ~LogFile() = default;
};

// Current UTC time in 100-nanosecond units since 1601 (GetSystemTimeAsFileTime).
struct Clock {
    virtual uint64_t Now() = 0;

protected:
    ~Clock() = default;
};

// What a pass does with each record read (the last, possibly incomplete one too).
struct RecordSink {
    virtual void OnRecord(const LogRecord& record) = 0;

    // The fields before this one (0 to 6) the sink never reads, so the reader need
    // not store them: they hold whatever they held.
    int firstFieldRead = 0;

protected:
    ~RecordSink() = default;
};

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
// skips the three header lines, then stores every run of non-white bytes (its first
// 19 bytes) into the next field, seven fields a record, and tells the sink of each
// record. 0x1A ends the data. CR LF reads as LF and a lone CR stays CR; both are
// white space, so the scanner needs no translation to honour that.
//
// Without a sink only the last run of each field matters, so the reader counts the
// runs of a block (sixty-four bytes at a time where SSE2 is there) and stores just the
// last seven; with a sink it stores every run the sink reads, a record at a time,
// finding the runs from masks of white bytes where SSE2 is there. byteAtATime
// chooses the plain byte-at-a-time reading of a sink's records, which the other is
// held to.
class LogReader {
public:
    LogReader(LogRecord& record, RecordSink* sink, bool byteAtATime = false);

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
    const unsigned char* ContinueRun(const unsigned char* p, const unsigned char* end);
    void ReadRecords(const unsigned char* p, const unsigned char* end);
    void ReadRecordsByRuns(const unsigned char* p, const unsigned char* end);
    void ReadLastFields(const unsigned char* p, const unsigned char* end);
    void MarkAt(const unsigned char* p);
    void MarkRecordStart(const unsigned char* p);
    uint64_t OffsetOf(const unsigned char* p) const { return blockOffset_ + (p - block_); }

    LogRecord& record_;
    RecordSink* sink_;
    int firstField_;  // fields before it are not stored
    bool byteAtATime_;
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

// How many runs of non-white bytes start in [p, end), the byte before p being white:
// sixty-four bytes at a time where SSE2 is there, and the plain byte-at-a-time count
// that gives the same answer everywhere.
uint32_t CountRunStarts(const unsigned char* p, const unsigned char* end);
uint32_t CountRunStartsScalar(const unsigned char* p, const unsigned char* end, uint32_t previousWhite = 1);

// Drops the last k characters of field; a field shorter than k stays as it is.
void CutField(char* field, int k);

// Characters cut from the end of the field of source n (1 to 4).
inline int CutCountOf(int source) {
    static constexpr int counts[kValueSources] = {2, 2, 4, 4};
    return counts[source - 1];
}

// Copies the field of source n (1 to 4) cut by its rule into out.
void CutSourceField(const LogRecord& record, int source, char (&out)[kFieldSize]);

// The answered text of source n from its cut field: source 1 the whole of it,
// sources 2 to 4 from its second character (empty when it has none).
ValueText AnsweredText(const char* cutField, int source);

struct ReadThrottle {
    uint64_t lastRead;  // 0: never read
};

constexpr uint64_t kRefreshInterval = 50'000'000;  // five seconds

// A re-read is due on the first call, when five seconds have passed since the last,
// or when the clock was set back before it. When due, stores now as the last re-read.
bool TakeIfDue(ReadThrottle& throttle, uint64_t now);

}  // namespace logvalues
