#include "logvalues/source_field.h"

#include <cstring>

namespace logvalues {

void CutField(char* field, int k) {
    size_t len = strnlen(field, kFieldSize - 1);
    if (len >= static_cast<size_t>(k))
        field[len - k] = '\0';
}

void CutSourceField(const LogRecord& record, int source, char (&out)[kFieldSize]) {
    memcpy(out, record.fields[kFirstValueField + source - 1], kFieldSize);
    out[kFieldSize - 1] = '\0';
    CutField(out, CutCountOf(source));
}

ValueText AnsweredText(const char* cutField, int source) {
    if (AnswerStartOf(source) == 0 || cutField[0] == '\0')
        return cutField;
    return cutField + 1;
}

}  // namespace logvalues
