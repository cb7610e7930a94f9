#include "plugin/plugin_info.h"

#include "plugin/plugin_texts.h"

namespace plugin {
namespace {

const char* const kInfoTexts[] = {
    QX_PLUGIN_NAME,   // 0
    QX_AUTHOR,        // 1
    QX_VERSION_TEXT,  // 2
    QX_FIRST_DATE,    // 3
    QX_LATER_DATE,    // 4
    QX_WEB_ADDRESS,   // 5
    QX_CONTACT,       // 6
};

}  // namespace

const char* InfoText(uint32_t index) {
    if (index >= sizeof kInfoTexts / sizeof kInfoTexts[0])
        return "";
    return kInfoTexts[index];
}

int32_t NextRandom(uint32_t& state) {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7FFF);
}

}  // namespace plugin
