#include "logvalues/log_pass.h"

#include <cstring>

namespace logvalues {
namespace {

constexpr uint32_t kBlockSize = 256 * 1024;

// The pass's buffer: a block, and before it up to kCheckedBytes of the bytes read
// before the block, so that the bytes before a mark found in the block are at hand.
// One pass runs at a time, so both value functions share it.
unsigned char g_buffer[kCheckedBytes + kBlockSize];
unsigned char* const g_block = g_buffer + kCheckedBytes;

// Reads exactly cap bytes; false when the file ends or a read fails first.
bool ReadFully(LogFile& file, unsigned char* buf, uint32_t cap) {
    for (uint32_t got = 0; got < cap;) {
        int32_t n = file.Read(buf + got, cap - got);
        if (n <= 0)
            return false;
        got += static_cast<uint32_t>(n);
    }
    return true;
}

uint32_t CheckedBefore(uint64_t offset) {
    return offset < kCheckedBytes ? static_cast<uint32_t>(offset) : kCheckedBytes;
}

// Whether reading may go on from the resume point: the same file, not smaller, its
// first bytes and those before the mark as they were. If so, the bytes before the
// mark are read into the buffer just before the block and the file stands at the mark.
bool CanGoOn(const ResumePoint& resume, const FileIdentity& identity, uint64_t size, LogFile& file) {
    if (!resume.valid || !(identity == resume.file) || size < resume.size)
        return false;
    if (!ReadFully(file, g_block, kCheckedBytes) || memcmp(g_block, resume.head, kCheckedBytes) != 0)
        return false;
    uint64_t offset = resume.mark.offset;
    uint32_t n = CheckedBefore(offset);
    return file.Seek(offset - n) && ReadFully(file, g_block - n, n) && memcmp(g_block - n, resume.before, n) == 0;
}

// Reads the file block by block into the reader, and keeps what the next pass
// needs: the file's first bytes and those before the reader's mark.
class BlockPass {
public:
    BlockPass(LogReader& reader, ResumePoint& resume) : reader_(reader), resume_(resume) {}

    // The bytes before the mark reading goes on from are already in the buffer.
    void GoOnFrom(uint64_t offset) {
        offset_ = offset;
        kept_ = CheckedBefore(offset);
        headBytes_ = kCheckedBytes;  // checked, and the same as before
        keptMark_ = offset;
    }

    void ReadAll(LogFile& file) {
        for (;;) {
            int32_t n = file.Read(g_block, kBlockSize);
            if (n <= 0)
                break;
            bool more = reader_.Feed(g_block, static_cast<size_t>(n));
            KeepCheckedBytes(static_cast<uint32_t>(n));
            KeepTail(static_cast<uint32_t>(n));
            if (!more)
                break;
            offset_ += static_cast<uint32_t>(n);
        }
        reader_.Finish();
    }

    // Whether the file's first bytes were all seen, so that a later pass can check them.
    bool HeadComplete() const { return headBytes_ == kCheckedBytes; }

private:
    void KeepCheckedBytes(uint32_t n) {
        if (offset_ < kCheckedBytes && headBytes_ < kCheckedBytes) {
            uint32_t take = n < kCheckedBytes - headBytes_ ? n : kCheckedBytes - headBytes_;
            memcpy(resume_.head + headBytes_, g_block, take);
            headBytes_ += take;
        }
        uint64_t mark = reader_.Mark().offset;
        if (mark != keptMark_) {  // the mark moved into this block
            uint32_t before = CheckedBefore(mark);
            const unsigned char* at = g_block + static_cast<size_t>(mark - offset_);  // mark is in this block
            memcpy(resume_.before, at - before, before);
            keptMark_ = mark;
        }
    }

    // Keeps the last bytes read before the next block.
    void KeepTail(uint32_t n) {
        uint32_t keep = kept_ + n < kCheckedBytes ? kept_ + n : kCheckedBytes;
        memmove(g_block - keep, g_block + n - keep, keep);
        kept_ = keep;
    }

    LogReader& reader_;
    ResumePoint& resume_;
    uint64_t offset_ = 0;     // of the block in the file
    uint32_t kept_ = 0;       // bytes kept before the block
    uint32_t headBytes_ = 0;  // of the file's first bytes seen
    uint64_t keptMark_ = 0;   // the mark whose bytes before it are kept
};

}  // namespace

bool RunPass(const char* path, LogFile& file, LogReader& reader, ResumePoint& resume) {
    if (!path || !file.Open(path))
        return false;
    FileIdentity identity{};
    uint64_t size = 0;
    bool identified = file.Identify(identity, size);
    BlockPass pass(reader, resume);
    bool readable = true;
    if (identified && CanGoOn(resume, identity, size, file)) {
        reader.GoOnFrom(resume.mark);
        pass.GoOnFrom(resume.mark.offset);
    } else {
        readable = file.Seek(0);
    }
    if (readable)
        pass.ReadAll(file);
    else
        reader.Finish();  // as a read error at the start
    resume.valid = identified && readable && pass.HeadComplete();
    resume.file = identity;
    resume.size = size;
    resume.mark = reader.Mark();
    file.Close();
    return true;
}

}  // namespace logvalues
