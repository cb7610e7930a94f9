#include "settings/monitor_settings.h"

#include <cstring>

namespace settings {
namespace {

// Length of a text that may lack its NUL, never looking past size bytes.
int BoundedLength(const char* text, int size) {
    const void* nul = memchr(text, '\0', size);
    return nul ? static_cast<int>(static_cast<const char*>(nul) - text) : size;
}

// Copies the text a query put into scratch into dest, ending it within the buffer:
// at its first NUL, or after at most kTextSize - 1 bytes.
void KeepQueriedText(char (&dest)[kTextSize], const char* scratch, uint32_t reported) {
    int limit = reported < kTextSize ? static_cast<int>(reported) : kTextSize - 1;
    int len = BoundedLength(scratch, limit);
    memcpy(dest, scratch, len);
    dest[len] = '\0';
}

void QueryText(SettingsStore& store, const char* name, char (&dest)[kTextSize]) {
    char scratch[kTextSize];
    uint32_t size = 0;
    if (store.Query(name, scratch, sizeof scratch, &size))
        KeepQueriedText(dest, scratch, size);
}

// Copies the name that starts at text: up to the first ',' or end, cut to fit.
void CopyName(const char* text, const char* end, char* out, int outSize) {
    int len = 0;
    while (text + len < end && text[len] != ',' && len < outSize - 1)
        ++len;
    memcpy(out, text, len);
    out[len] = '\0';
}

}  // namespace

KeyView OpenMonitorKey(SettingsStore& store) {
    OpenResult own = store.Open(KeyView::kOwn);
    if (own == OpenResult::kOpened)
        return KeyView::kOwn;
    // Only a key that is not there sends the load to the other view: a key the own
    // view has but will not open is not replaced by another program's.
    if (own == OpenResult::kNotFound && store.Open(KeyView::kOther) == OpenResult::kOpened)
        return KeyView::kOther;
    return KeyView::kNone;
}

KeyView LoadSettings(MonitorSettings& s, SettingsStore& store) {
    KeyView view = OpenMonitorKey(store);
    if (view != KeyView::kNone) {
        QueryText(store, kLogPathValue, s.logPath);
        QueryText(store, kSourcesValue, s.sourcesText);
        store.Close();
    }
    SplitSources(s);
    return view;
}

void SplitSources(MonitorSettings& s) {
    int len = BoundedLength(s.sourcesText, kTextSize);
    uint32_t count = 0;
    const char* pos = s.sourcesText;
    const char* end = s.sourcesText + len;
    // Each name starts after a '+'; the search for the next '+' goes on from the
    // start of that name, so a '+' inside a name starts another name as well.
    while (const char* plus = static_cast<const char*>(memchr(pos, '+', end - pos))) {
        pos = plus + 1;
        if (count < kNameSlots)
            CopyName(pos, end, s.sources.names[count], kNameSize);
        ++count;
    }
    s.sourceCount = count;
}

bool FindSourceName(const MonitorSettings& s, uint32_t n, char* out, int outSize) {
    if (outSize <= 0)
        return false;
    out[0] = '\0';
    if (n == 0)
        return false;
    int len = BoundedLength(s.sourcesText, kTextSize);
    const char* pos = s.sourcesText;
    const char* end = s.sourcesText + len;
    for (uint32_t i = 1; i <= n; ++i) {
        const char* plus = static_cast<const char*>(memchr(pos, '+', end - pos));
        if (!plus)
            return false;
        pos = plus + 1;
    }
    CopyName(pos, end, out, outSize);
    return true;
}

}  // namespace settings
