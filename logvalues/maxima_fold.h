// Folding values into the maxima of Max, by the one total order of value_rank.h.
#pragma once

#include "logvalues/log_record.h"
#include "logvalues/value_bar.h"
#include "logvalues/value_rank.h"

namespace logvalues {

// The highest value of each of sources 1 to 4, and of each the byte that followed
// its integer digits in the field it was read from, when that was no digit (the
// b of its bar, value_bar.h; 0 when unknown, which is as safe).
struct Maxima {
    char texts[kValueSources][kFieldSize];
    unsigned char after[kValueSources];
};

// Keeps, while each maximum stands, its rank key and its bar, so that a value is
// ranked against a key made once, and most values are turned away by the bar
// before they are ranked at all (the reader does that, in place in its block).
class MaximaFold {
public:
    explicit MaximaFold(Maxima& maxima);

    // The bars of sources 1 to 4. Each Offer that changes a maximum changes its
    // bar in place, so the pointer stays valid and the bars current.
    const ValueBar* Bars() const { return bars_; }

    // A field of source n (1 to 4): the first bytes of its run at field, length of
    // them stored (at most 19; a NUL ends it sooner). Cut, it replaces the maximum
    // when it ranks strictly higher.
    void Offer(int source, const unsigned char* field, int length);

private:
    void Keep(int source);

    Maxima& maxima_;
    RankKey keys_[kValueSources];
    ValueBar bars_[kValueSources];
};

}  // namespace logvalues
