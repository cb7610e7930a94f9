// Monitor settings: the log path and the sources text of the monitoring program's
// registry key, and the source names split from that text.
#pragma once

#include <cstdint>

namespace settings {

constexpr int kTextSize = 1024;  // log path and sources text, NUL included
constexpr int kNameSlots = 5;    // names kept for sources 1 to 5
constexpr int kNameSize = 128;   // one name, NUL included

inline constexpr const char* kMonitorKey = "SOFTWARE\\Orvendal\\Quintavo\\Monitoring";
inline constexpr const char* kLogPathValue = "LogFilePath";
inline constexpr const char* kSourcesValue = "Sources";

struct SourceTable {
    char names[kNameSlots][kNameSize];  // slot i: name of source i+1
};

struct MonitorSettings {
    char logPath[kTextSize];
    char sourcesText[kTextSize];
    uint32_t sourceCount;  // '+' characters in sourcesText; never wraps
    SourceTable sources;
};

// Where a load finds the monitor's values: the registry on Windows, a fake in tests.
struct SettingsStore {
    virtual bool Open() = 0;
    // Copies the value's data into buf (capacity cap bytes). On success *size is the
    // byte count the store reports, which may exceed cap for a value that did not fit.
    virtual bool Query(const char* name, char* buf, uint32_t cap, uint32_t* size) = 0;
    virtual void Close() = 0;

protected:
    ~SettingsStore() = default;
};

// Reads both values into s (each kept as it was when its query fails or the key does
// not open), then rebuilds the source count and names. Never fails as a whole.
void LoadSettings(MonitorSettings& s, SettingsStore& store);

// Rebuilds sourceCount and the SourceTable from s.sourcesText. Slots at or past the
// new count keep what they held.
void SplitSources(MonitorSettings& s);

// Copies the name of source n (1-based, up to sourceCount) into out, at most
// outSize - 1 characters. Finds it in the sources text, so it works past slot 5 too.
// Returns false (out empty) when there is no such source.
bool FindSourceName(const MonitorSettings& s, uint32_t n, char* out, int outSize);

}  // namespace settings
