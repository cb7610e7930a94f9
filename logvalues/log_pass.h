// One pass over the log file: its blocks read into one buffer and fed to the
// scanner, from the file's start or going on from where the last pass stopped.
#pragma once

#include "logvalues/log_reader.h"

namespace logvalues {

constexpr uint32_t kCheckedBytes = 4096;

// What a value function keeps so that its next pass over a log that only grew reads
// just what was added: the file, the mark of the last pass, and the bytes before
// the mark that must be as they were for the mark to hold.
struct ResumePoint {
    bool valid;
    FileIdentity file;
    uint64_t size;  // the file's size when it was read
    ReaderMark mark;
    unsigned char head[kCheckedBytes];    // the file's first bytes
    unsigned char before[kCheckedBytes];  // the bytes just before the mark (fewer near the start)
};

// One pass over the log at path, read by reader: going on from resume when the file
// is the one read before, is not smaller and its checked bytes are unchanged; from
// the file's start otherwise. Either way the record ends as a pass from the start
// leaves it; a pass that goes on reads only the records from the mark on. resume is
// then set for the next pass. Returns false, leaving the reader's record untouched,
// when the file cannot be opened.
bool RunPass(const char* path, LogFile& file, LogReader& reader, ResumePoint& resume);

}  // namespace logvalues
