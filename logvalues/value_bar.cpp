#include "logvalues/value_bar.h"

#include <cstring>

#include "logvalues/source_field.h"
#include "logvalues/value_rank.h"

namespace logvalues {

ValueBar BarOf(const char* maximum, unsigned char after, int source) {
    ValueBar bar{};
    int length = static_cast<int>(strnlen(maximum, kFieldSize - 1));
    int start = AnswerStartOf(source);
    int digits = 0;
    while (start + digits < length && maximum[start + digits] >= '0' && maximum[start + digits] <= '9')
        ++digits;
    RankKey key = MakeRankKey(maximum, length, source);
    // The byte after the digits must lie within the sixteen bytes looked at.
    if (!key.number || key.negative || digits == 0 || maximum[start] == '0' || start + digits >= 16)
        return bar;  // no bar: every value is ranked in full
    bar.set = true;
    bar.start = static_cast<uint8_t>(start);
    bar.digits = static_cast<uint8_t>(digits);
    bar.after = after;
    for (int i = 0; i < 8; ++i)
        bar.leading = (bar.leading << 8) | static_cast<unsigned char>(start + i < length ? maximum[start + i] : 0);
    // The quick test reads eight bytes: the byte at W must be among them.
    if (digits <= 7) {
        bar.quick = true;
        bar.atShift = static_cast<uint8_t>(56 - 8 * digits);
        bar.beforeShift = static_cast<uint8_t>(64 - 8 * digits);
    }
    return bar;
}

}  // namespace logvalues
