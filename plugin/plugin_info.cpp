#include "plugin/plugin_info.h"

namespace plugin {
namespace {

const char* const kInfoTexts[] = {
    "Quintavo Extractor Plugin",
    "The QuintavoExtract maintainers",
    "0.2 Beta",
    "13/07/04",
    "28/07/04",
    "https://quintavoextract.example.org/",
    "maintainers@quintavoextract.example.org",
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
