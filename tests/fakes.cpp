#include "fakes.h"

#include <cstring>

namespace testing_fakes {

bool FakeLogFile::Open(const char* path) {
    ++opens;
    if (!exists || path[0] == '\0')
        return false;
    pos_ = 0;
    reads_ = 0;
    isOpen = true;
    return true;
}

bool FakeLogFile::Identify(logvalues::FileIdentity& id, uint64_t& size) {
    id = identity;
    size = bytes.size();
    return identifiable;
}

bool FakeLogFile::Seek(uint64_t offset) {
    pos_ = offset < bytes.size() ? offset : bytes.size();
    return true;
}

int32_t FakeLogFile::Read(unsigned char* buf, uint32_t cap) {
    if (reads_++ == readErrorAt)
        return -1;
    size_t n = bytes.size() - pos_;
    if (n > cap)
        n = cap;
    if (n > chunk)
        n = chunk;
    memcpy(buf, bytes.data() + pos_, n);
    pos_ += n;
    bytesRead += n;
    return static_cast<int32_t>(n);
}

settings::OpenResult FakeStore::Open(settings::KeyView view) {
    opened.push_back(view);
    const Key& key = view == settings::KeyView::kOther ? other : own;
    if (key.open == settings::OpenResult::kOpened)
        open_ = &key;
    return key.open;
}

bool FakeStore::Query(const char* name, char* buf, uint32_t cap, uint32_t* size) {
    if (!open_) {
        ++queriesWithoutKey;
        return false;
    }
    auto it = open_->values.find(name);
    if (it == open_->values.end())
        return false;
    const Value& v = it->second;
    *size = v.reported;
    if (v.data.size() > cap)
        return false;  // as the registry does: too small a buffer fails the query
    memcpy(buf, v.data.data(), v.data.size());
    return true;
}

std::string Log(const std::string& body) {
    return "Quintavo hardware log\r\nDate Time Sensors\r\n---\r\n" + body;
}

std::string Line(const std::string& v1, const std::string& v2, const std::string& v3,
                 const std::string& v4) {
    return "12/05/2026 10:00:00 0 " + v1 + "\xB0" "C #" + v2 + "MH #" + v3 + "volt #" + v4 + "rpm!\r\n";
}

}  // namespace testing_fakes
