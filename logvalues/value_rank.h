#pragma once

namespace logvalues {

// A cut field ready for ranking. Values whose answered text (source 1: the cut
// field; sources 2 to 4: the cut field from its second character) is a decimal
// number ([+-]digits, optionally '.' or ',' and digits) rank above every other text
// and among themselves by exact value; other texts rank by unsigned byte order of
// the whole cut field, a longer text above its own beginning. Points into the text.
struct RankKey {
    const char* text;  // the whole cut field
    int length;
    bool number;
    bool negative;       // a number below zero
    const char* whole;   // integer digits without leading zeros
    int wholeLength;
    const char* fraction;  // fraction digits without trailing zeros
    int fractionLength;
};

// The key of a cut field of length bytes (no NUL needed) of source 1 to 4.
RankKey MakeRankKey(const char* cutField, int length, int source);

// Whether candidate ranks strictly above stored.
bool RanksAbove(const RankKey& candidate, const RankKey& stored);

// The same for two NUL-terminated cut fields of the same source.
bool RanksAbove(const char* candidate, const char* stored, int source);

}  // namespace logvalues
