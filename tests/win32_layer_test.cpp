// The Windows layer against the real registry, real files and the real clock.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "host_helpers.h"
#include "logvalues/log_file_win32.h"
#include "settings/registry_store_win32.h"

namespace {

using host_helpers::kMonitorKey;

// Closes a handle when the test leaves its scope, also when a failed ASSERT returns
// early: a handle left open on the test's file would fail every test after it.
class HandleGuard {
public:
    explicit HandleGuard(HANDLE h) : h_(h) {}
    ~HandleGuard() {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// The same for the log file under test: opens it, and closes it if it opened.
class OpenedLog {
public:
    OpenedLog(logvalues::LogFile& file, const char* path) : file_(file), open_(file.Open(path)) {}
    ~OpenedLog() {
        if (open_)
            file_.Close();
    }
    OpenedLog(const OpenedLog&) = delete;
    OpenedLog& operator=(const OpenedLog&) = delete;
    explicit operator bool() const { return open_; }

private:
    logvalues::LogFile& file_;
    bool open_;
};

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { host_helpers::DeleteMonitorKey(); }
    void TearDown() override { host_helpers::DeleteMonitorKey(); }

    void Set(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void SetText(const char* name, const std::string& text) {
        Set(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    void Load() {
        settings::RegistryStore store;
        settings::LoadSettings(s, store);
    }

    settings::MonitorSettings s{};
};

TEST_F(RegistryTest, LoadsPathAndSources) {
    SetText("LogFilePath", "C:\\Quintavo\\hw.log");
    SetText("Sources", "+Core clock,+Memory clock,+Core temperature");
    Load();
    EXPECT_STREQ(s.logPath, "C:\\Quintavo\\hw.log");
    EXPECT_EQ(s.sourceCount, 3u);
    EXPECT_STREQ(s.sources.names[2], "Core temperature");
}

TEST_F(RegistryTest, MissingKeyKeepsWhatWasLoaded) {
    SetText("LogFilePath", "C:\\a.log");
    SetText("Sources", "+A,+B");
    Load();
    host_helpers::DeleteMonitorKey();
    Load();
    EXPECT_STREQ(s.logPath, "C:\\a.log");
    EXPECT_EQ(s.sourceCount, 2u);
}

TEST_F(RegistryTest, ValueTooLongForTheBufferNeverOverruns) {
    SetText("Sources", "+A");
    Load();
    SetText("Sources", std::string(3000, '+'));
    SetText("LogFilePath", std::string(1500, 'p'));
    Load();
    EXPECT_LT(strnlen(s.sourcesText, sizeof s.sourcesText), sizeof s.sourcesText);
    EXPECT_LT(strnlen(s.logPath, sizeof s.logPath), sizeof s.logPath);
    EXPECT_LE(s.sourceCount, 1023u);
}

TEST_F(RegistryTest, ValuesWithoutNulOrOfOtherTypesEndInTheBuffer) {
    std::string full(1024, '+');
    Set("Sources", REG_BINARY, full.data(), 1024);
    Load();
    EXPECT_EQ(s.sourceCount, 1023u);
    EXPECT_EQ(strlen(s.sourcesText), 1023u);

    DWORD number = 0x2B2B2B2B;  // "++++" without a NUL
    Set("Sources", REG_DWORD, &number, sizeof number);
    Load();
    EXPECT_STREQ(s.sourcesText, "++++");
    EXPECT_EQ(s.sourceCount, 4u);
}

class LogFileTest : public testing::Test {
protected:
    void SetUp() override {
        path = host_helpers::TempFilePath("qx_win32_layer_test.log");
        DeleteFileA(path.c_str());
    }
    void TearDown() override { DeleteFileA(path.c_str()); }

    void Write(const std::string& bytes) {
        HandleGuard h(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_NE(h.get(), INVALID_HANDLE_VALUE);
        DWORD done;
        WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    }
    std::string ReadAll(logvalues::LogFile& file) {
        std::string out;
        unsigned char buf[4096];
        for (int32_t n; (n = file.Read(buf, sizeof buf)) > 0;)
            out.append(reinterpret_cast<char*>(buf), n);
        return out;
    }

    std::string path;
    logvalues::Win32LogFile file;
};

TEST_F(LogFileTest, ReadsEveryByteAsStored) {
    std::string bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += static_cast<char>(i * 7);  // CR LF, 0x1A and NUL among them
    Write(bytes);
    OpenedLog opened(file, path.c_str());
    ASSERT_TRUE(opened);
    EXPECT_EQ(ReadAll(file), bytes);  // binary: no text-mode translation
}

TEST_F(LogFileTest, OpensWhileTheMonitorHoldsItOpenForWriting) {
    Write("h\nh\nh\n");
    HandleGuard writer(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(writer.get(), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(OpenedLog(file, path.c_str()));
}

TEST_F(LogFileTest, DoesNotOpenAFileHeldWithoutReadSharing) {
    Write("h\nh\nh\n");
    HandleGuard locker(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(locker.get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(OpenedLog(file, path.c_str()));
}

TEST_F(LogFileTest, DoesNotLockOutTheMonitor) {
    Write("h\nh\nh\n");
    OpenedLog opened(file, path.c_str());
    ASSERT_TRUE(opened);
    HandleGuard writer(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    EXPECT_NE(writer.get(), INVALID_HANDLE_VALUE);
}

TEST_F(LogFileTest, NothingButAFileOnDiskOpens) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const char* paths[] = {"", dir, "C:\\windows", path.c_str(), "NUL", "CON"};
    for (const char* p : paths)
        EXPECT_FALSE(OpenedLog(file, p)) << "'" << p << "'";
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << "never created";
}

TEST_F(LogFileTest, SeekMovesTheNextRead) {
    std::string bytes(70000, 'x');
    bytes.replace(65537, 3, "abc");
    Write(bytes);
    OpenedLog opened(file, path.c_str());
    ASSERT_TRUE(opened);
    ASSERT_TRUE(file.Seek(65537));
    unsigned char buf[3];
    ASSERT_EQ(file.Read(buf, 3), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "abc");
    ASSERT_TRUE(file.Seek(bytes.size()));
    EXPECT_EQ(file.Read(buf, 3), 0) << "at the end";
}

// The identity of the file a path leads to, and its size, at each open.
struct Sighting {
    logvalues::FileIdentity identity;
    uint64_t size;
};

class FileIdentityTest : public LogFileTest {
protected:
    Sighting Look() {
        Sighting seen{};
        OpenedLog opened(file, path.c_str());
        EXPECT_TRUE(opened);
        EXPECT_TRUE(opened && file.Identify(seen.identity, seen.size));
        return seen;
    }
    void Append(const std::string& bytes) {
        HandleGuard h(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(h.get(), INVALID_HANDLE_VALUE);
        DWORD done;
        WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    }
};

TEST_F(FileIdentityTest, SameFileWhileItGrowsAnotherWhenReplaced) {
    Write("h\nh\nh\n");
    Sighting first = Look();
    EXPECT_EQ(first.size, 6u);

    Sleep(20);
    Append("1 2 3 4 5 6 7\r\n");
    Sighting grown = Look();
    EXPECT_EQ(grown.size, 21u);
    EXPECT_EQ(grown.identity.volume, first.identity.volume);
    EXPECT_EQ(grown.identity.index, first.identity.index) << "appending keeps the file what it is";
    EXPECT_TRUE(grown.identity == first.identity) << "however long after";

    std::string other = path + ".new";
    {
        HandleGuard h(CreateFileA(other.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_NE(h.get(), INVALID_HANDLE_VALUE);
    }
    ASSERT_TRUE(MoveFileExA(other.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
    Sighting moved = Look();
    EXPECT_NE(moved.identity.index, first.identity.index) << "a file moved in over it is another file";

    // Kept under another name while the new file is made: a file system may give a
    // deleted file's number to the next file it makes (see the README).
    Sleep(20);
    std::string away = path + ".away";
    ASSERT_TRUE(MoveFileExA(path.c_str(), away.c_str(), MOVEFILE_REPLACE_EXISTING));
    Write("h\nh\nh\n");
    EXPECT_FALSE(Look().identity == moved.identity) << "a file created anew under the name is another file";
    DeleteFileA(away.c_str());
}

TEST_F(LogFileTest, SystemClockIsTheFileTimeClock) {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    uint64_t before = (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
    logvalues::SystemClock clock;
    uint64_t now = clock.Now();
    EXPECT_GE(now, before);
    EXPECT_LT(now - before, 10'000'000u);
}

}  // namespace
