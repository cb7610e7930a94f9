// The monitor's registry key as a settings store (Windows only).
#pragma once

#include "settings/monitor_settings.h"

namespace settings {

// Opens HKEY_LOCAL_MACHINE\SOFTWARE\Orvendal\Quintavo\Monitoring for reading and
// queries its values; the value type is neither asked for nor examined. The own view
// is opened with KEY_READ alone; the other with KEY_WOW64_64KEY in the 32-bit module,
// KEY_WOW64_32KEY in the 64-bit one (32-bit Windows has one view and ignores both).
class RegistryStore final : public SettingsStore {
public:
    OpenResult Open(KeyView view) override;
    bool Query(const char* name, char* buf, uint32_t cap, uint32_t* size) override;
    void Close() override;

    // The key while it is open (an HKEY), for a caller that asks more of it than a load.
    void* Handle() const { return key_; }

    // Which view that is in this build: 32 or 64 (0 for kNone).
    static constexpr int kOwnBits = sizeof(void*) == 8 ? 64 : 32;
    static constexpr int Bits(KeyView view) {
        if (view == KeyView::kNone)
            return 0;
        return view == KeyView::kOwn ? kOwnBits : (kOwnBits == 64 ? 32 : 64);
    }

private:
    void* key_ = nullptr;  // HKEY
};

}  // namespace settings
