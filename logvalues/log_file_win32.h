// The log file and the system clock on Windows.
#pragma once

#include "logvalues/log_reader.h"

namespace logvalues {

// Opens the log read-only, sharing read and write but not delete, never creating
// it. Only a file on disk opens: a directory, a device or a pipe does not.
class Win32LogFile final : public LogFile {
public:
    bool Open(const char* path) override;
    bool Identify(FileIdentity& identity, uint64_t& size) override;
    bool Seek(uint64_t offset) override;
    int32_t Read(unsigned char* buf, uint32_t cap) override;
    void Close() override;

private:
    void* handle_ = nullptr;  // HANDLE
};

class SystemClock final : public Clock {
public:
    uint64_t Now() override;
};

}  // namespace logvalues
