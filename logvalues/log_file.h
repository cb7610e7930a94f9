// What a pass needs of the platform: the log file and the clock. CreateFileA,
// ReadFile and GetSystemTimeAsFileTime on Windows (log_file_win32.h); fakes in tests.
#pragma once

#include <cstdint>

namespace logvalues {

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

}  // namespace logvalues
