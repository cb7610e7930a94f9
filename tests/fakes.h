// Fakes of the platform for the core: a log file in memory, a clock that moves
// only when told, and a registry key as a table of values.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "logvalues/log_reader.h"
#include "settings/monitor_settings.h"

namespace testing_fakes {

// A point in time well after 1601, in 100 ns units.
constexpr uint64_t kSomeTime = 133'000'000'000'000'000ull;
constexpr uint64_t kSecond = 10'000'000;

struct FakeLogFile final : logvalues::LogFile {
    std::string bytes;
    bool exists = true;
    size_t chunk = SIZE_MAX;  // most bytes one Read gives
    int readErrorAt = -1;     // Read number that fails, -1 for none
    int opens = 0;
    bool isOpen = false;
    logvalues::FileIdentity identity{7, 1};
    bool identifiable = true;
    uint64_t bytesRead = 0;   // over every Read since the fake was made

    bool Open(const char* path) override;
    bool Identify(logvalues::FileIdentity& id, uint64_t& size) override;
    bool Seek(uint64_t offset) override;
    int32_t Read(unsigned char* buf, uint32_t cap) override;
    void Close() override { isOpen = false; }

private:
    size_t pos_ = 0;
    int reads_ = 0;
};

struct FakeClock final : logvalues::Clock {
    uint64_t now = kSomeTime;
    int reads = 0;
    uint64_t Now() override {
        ++reads;
        return now;
    }
};

// The monitor's key in the module's own registry view and in the other one. As
// made, the key is in the own view only, with no values.
struct FakeStore final : settings::SettingsStore {
    struct Value {
        std::string data;
        uint32_t reported;  // byte count the query reports
    };
    struct Key {
        settings::OpenResult open = settings::OpenResult::kOpened;  // what opening it gives
        std::map<std::string, Value> values;

        // A string value as the registry stores it: its text and a NUL.
        void SetText(const std::string& name, const std::string& text) {
            values[name] = {text + '\0', static_cast<uint32_t>(text.size() + 1)};
        }
    };
    Key own;
    Key other{settings::OpenResult::kNotFound, {}};
    std::vector<settings::KeyView> opened;  // the view of every Open, in order
    int queriesWithoutKey = 0;              // Query calls while no key was open
    int closes = 0;

    settings::OpenResult Open(settings::KeyView view) override;
    bool Query(const char* name, char* buf, uint32_t cap, uint32_t* size) override;
    void Close() override {
        ++closes;
        open_ = nullptr;
    }

private:
    const Key* open_ = nullptr;
};

// A log: three header lines, then the given text.
std::string Log(const std::string& body);

// One data line of seven fields whose sources 1 to 4 carry the given values,
// wrapped as the monitor writes them.
std::string Line(const std::string& v1, const std::string& v2 = "1", const std::string& v3 = "1",
                 const std::string& v4 = "1");

}  // namespace testing_fakes
