// From a record's field to the text a value function answers: the fixed characters
// cut from each source's field, and the answered part of it.
#pragma once

#include "logvalues/log_record.h"

namespace logvalues {

// A value function's answer: a NUL-terminated text in storage the module owns for
// as long as it is loaded. The host never frees it.
using ValueText = const char*;

inline constexpr const char* kInvalidParameter = "Invalid parameter";
inline constexpr const char* kErrorOpening = "Error opening the file";

// Drops the last k characters of field; a field shorter than k stays as it is.
void CutField(char* field, int k);

// Characters cut from the end of the field of source n (1 to 4).
inline int CutCountOf(int source) {
    static constexpr int counts[kValueSources] = {2, 2, 4, 4};
    return counts[source - 1];
}

// Where the answered text starts in the cut field of source n: source 1 answers
// the whole of it, sources 2 to 4 from its second character.
inline int AnswerStartOf(int source) {
    return source == 1 ? 0 : 1;
}

// Copies the field of source n (1 to 4) cut by its rule into out.
void CutSourceField(const LogRecord& record, int source, char (&out)[kFieldSize]);

// The answered text of source n from its cut field (empty when it is too short).
ValueText AnsweredText(const char* cutField, int source);

}  // namespace logvalues
