// Realistic seven-field logs of a given size for the benchmarks.
#pragma once

#include <cstdio>
#include <string>

namespace bench {

// One reading of a monitor with four sensors, as the demo's sample log has them.
inline std::string Reading(unsigned i) {
    char line[128];
    snprintf(line, sizeof line, "09/12/2026 %02u:%02u:%02u %u %u.%u\xB0" "C #%uMH #1.%03uVolt #%u_rpm\r\n",
             i / 3600 % 24, i / 60 % 60, i % 60, i, 40 + i % 37, i % 10, 300 + i * 7 % 1500, i * 13 % 400,
             800 + i * 11 % 2200);
    return line;
}

inline std::string Header() {
    return "Quintavo Hardware Monitoring - log file\r\nStarted 09/12/2026 00:00:00\r\n"
           "Date Time Sample GPU-temperature GPU-clock GPU-voltage Fan-speed\r\n";
}

// Writes a log of at least bytes bytes at path, unless one of that size is there.
inline bool WriteSampleLog(const std::string& path, size_t bytes) {
    if (FILE* f = fopen(path.c_str(), "rb")) {
        fseek(f, 0, SEEK_END);
        long size = ftell(f);
        fclose(f);
        if (size >= static_cast<long>(bytes) && size < static_cast<long>(bytes) + 256)
            return true;
    }
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::string chunk = Header();
    size_t written = 0;
    for (unsigned i = 0; written < bytes; ++i) {
        chunk += Reading(i);
        if (chunk.size() > (1 << 20) || written + chunk.size() >= bytes) {
            fwrite(chunk.data(), 1, chunk.size(), f);
            written += chunk.size();
            chunk.clear();
        }
    }
    fclose(f);
    return true;
}

}  // namespace bench
