// The monitor's registry key as a settings store (Windows only).
#pragma once

#include "settings/monitor_settings.h"

namespace settings {

// Opens HKEY_LOCAL_MACHINE\SOFTWARE\Orvendal\Quintavo\Monitoring for reading and
// queries its values; the value type is neither asked for nor examined.
class RegistryStore final : public SettingsStore {
public:
    bool Open() override;
    bool Query(const char* name, char* buf, uint32_t cap, uint32_t* size) override;
    void Close() override;

private:
    void* key_ = nullptr;  // HKEY
};

}  // namespace settings
