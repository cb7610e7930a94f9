// The source-list split over any text: the count is the number of '+', every kept
// name is the one the split rule finds, within its slot, and nothing past the table
// is written.
#include <cassert>
#include <cstdint>
#include <cstring>

#include "settings/monitor_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    struct {
        settings::MonitorSettings s;
        unsigned char guard[32];
    } g;
    memset(&g, 0x5A, sizeof g);
    size_t n = size < settings::kTextSize - 1 ? size : settings::kTextSize - 1;
    memcpy(g.s.sourcesText, data, n);
    g.s.sourcesText[n] = '\0';
    settings::SplitSources(g.s);

    uint32_t plus = 0;
    for (const char* p = g.s.sourcesText; *p; ++p)
        plus += *p == '+';
    assert(g.s.sourceCount == plus);
    for (uint32_t i = 1; i <= plus && i <= settings::kNameSlots; ++i) {
        char name[settings::kNameSize];
        assert(settings::FindSourceName(g.s, i, name, sizeof name));
        assert(strcmp(name, g.s.sources.names[i - 1]) == 0);
        assert(strchr(name, ',') == nullptr);
    }
    for (unsigned char b : g.guard)
        assert(b == 0x5A);
    return 0;
}
