// Random histories of a monitor's log, and what a plain reading of the whole file
// says after every step of one. Shared by the core test, which runs the value
// functions over a fake file, and the Windows test, which runs the DLL over a real
// one. The reading is the C runtime's own, in text mode: fgetc through the header,
// then fscanf "%s%s%s%s%s%s%s\r" record by record into buffers that keep what a
// short record does not reach, and the maxima folded by the module's ranking rule,
// written here again on its own.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace growing_log {

constexpr size_t kHeadBytes = 4096;  // a rewrite "with the same head" leaves these as they are

// One change of the log between two passes.
struct Step {
    enum Kind { kAppend, kTruncate, kRewrite, kReplace };
    Kind kind;
    const char* what;
    std::string bytes;         // appended, written at offset, or the new file
    uint64_t offset = 0;       // where a rewrite writes
    uint64_t size = 0;         // the size a truncation or a rewrite leaves
    bool deleteFirst = false;  // a replacement deletes the log and writes it anew,
                               // instead of moving a new file in over it
};

// Every value function's answer to sources 1 to 4.
struct Answers {
    std::array<std::string, 4> actual, max;
    bool operator==(const Answers&) const = default;
};

inline void PrintTo(const Answers& a, std::ostream* os) {
    *os << "Actual";
    for (const std::string& s : a.actual)
        *os << " '" << s << "'";
    *os << ", Max";
    for (const std::string& s : a.max)
        *os << " '" << s << "'";
}

// A log as a monitor writes it, and the changes that happen to one: whole lines
// and lines in two halves appended, bytes of white space, long runs and 0x1A
// appended, truncations, rewrites in place (of the last 4 KiB; after the first
// 4 KiB with the end cut off; of the first 4 KiB) and replacements by a new file
// (another log, or a copy changed in the middle and with more lines).
// No step changes a file between its first and its last 4 KiB and leaves it as
// large or larger: a pass that goes on does not look there.
class History {
public:
    // endOfData: whether steps may write a byte 0x1A, which only a C runtime whose
    // text mode ends the data there reads as the module does.
    History(uint32_t seed, bool endOfData) : rng_(seed), endOfData_(endOfData) {
        bytes_ = NewLog(100 + Pick(300));
    }

    const std::string& Bytes() const { return bytes_; }

    // Picks the next change and makes it to the log as it stands here.
    Step Next() {
        Step step = Pick();
        switch (step.kind) {
        case Step::kAppend:
            bytes_ += step.bytes;
            break;
        case Step::kTruncate:
            bytes_.resize(step.size);
            break;
        case Step::kRewrite:
            bytes_.replace(step.offset, step.bytes.size(), step.bytes);
            bytes_.resize(step.size);
            break;
        case Step::kReplace:
            bytes_ = step.bytes;
            break;
        }
        return step;
    }

private:
    Step Pick() {
        size_t size = bytes_.size();
        uint32_t roll = Pick(40);
        if (roll < 16)
            return Append("whole lines", Rest() + Lines(1 + Pick(3)));
        if (roll < 22) {
            std::string line = Line();
            size_t half = Pick(line.size());  // in a field, between CR and LF, anywhere
            std::string appended = Rest() + line.substr(0, half);
            rest_ = line.substr(half);
            return Append("half a line", appended);
        }
        if (roll < 25)
            return Append("odd bytes", OddBytes());
        if (roll < 27)
            return Truncate("the last bytes cut off", size - Pick(std::min<size_t>(size, 300) + 1));
        if (roll == 27)
            return Truncate("cut back anywhere", Pick(size + 1));
        if (roll < 37 && size < kHeadBytes + 64)
            return Append("whole lines", Rest() + Lines(1 + Pick(3)));
        if (roll < 31)  // as large as before
            return Rewrite("rewritten in its last 4 KiB", size - 1 - Pick(kHeadBytes), size);
        if (roll < 35) {  // the same head, anywhere after it, smaller
            return Rewrite("rewritten after its head and cut shorter", kHeadBytes + Pick(size - kHeadBytes - 40),
                           size - 1 - Pick(40));
        }
        if (roll < 37)
            return Rewrite("rewritten in its first 4 KiB", Pick(kHeadBytes), size);
        if (roll < 39) {
            Step step{Step::kReplace, "replaced by another log", NewLog(Pick(2) ? Pick(40) : 100 + Pick(300))};
            step.deleteFirst = Pick(2);
            return step;
        }
        if (size >= kHeadBytes + 64) {  // only the file's identity tells this one
            std::string copy = bytes_;
            size_t at = kHeadBytes + Pick(size - kHeadBytes - 40);
            Pick(2) ? Raise(copy, at) : Flip(copy, at);
            return {Step::kReplace, "replaced by a copy changed in the middle, with more lines",
                    copy + Rest() + Lines(1 + Pick(3))};
        }
        return Append("whole lines", Rest() + Lines(1));
    }

    Step Append(const char* what, std::string bytes) { return {Step::kAppend, what, std::move(bytes)}; }

    Step Truncate(const char* what, size_t size) {
        rest_.clear();
        Step step{Step::kTruncate, what, {}};
        step.size = size;
        return step;
    }

    // Changes the log at offset (a reading raised, or fields joined or split there)
    // and leaves it size bytes long.
    Step Rewrite(const char* what, size_t offset, size_t size) {
        rest_.clear();
        std::string changed = bytes_;
        size_t at = Pick(2) ? Raise(changed, offset) : Flip(changed, offset);
        Step step{Step::kRewrite, what, {}};
        step.offset = at;
        step.bytes = changed.substr(at, std::min<size_t>(changed.size() - at, 24));
        step.size = size;
        return step;
    }

    // Writes nines over the first digits at or after offset; returns where.
    static size_t Raise(std::string& bytes, size_t offset) {
        size_t at = bytes.find_first_of("0123456789", offset);
        if (at == std::string::npos)
            return Flip(bytes, offset);
        for (size_t i = at; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i)
            bytes[i] = '9';
        return at;
    }

    // Turns the byte at offset from white space into a field's byte, or the other way.
    static size_t Flip(std::string& bytes, size_t offset) {
        if (offset >= bytes.size())
            return offset;
        char& c = bytes[offset];
        c = (c == ' ' || (c >= '\t' && c <= '\r')) ? '7' : ' ';
        return offset;
    }

    // What is left of a line appended in two halves comes before anything appended next.
    std::string Rest() {
        std::string rest;
        rest.swap(rest_);
        return rest;
    }

    std::string OddBytes() {
        switch (Pick(6)) {
        case 0: return "\r";
        case 1: return "\n";
        case 2: return " \t\v\f";
        case 3: return std::string(25 + Pick(20), static_cast<char>('A' + Pick(26)));  // longer than a field
        case 4: return endOfData_ && Pick(3) == 0 ? "\x1A" : "\r\n";
        default: return "\xB0\xFF ";
        }
    }

    std::string NewLog(uint32_t lines) {
        return "Quintavo hardware log\r\nDate Time Sensors\r\n---\r\n" + Lines(lines);
    }

    std::string Lines(uint32_t n) {
        std::string lines;
        while (n-- > 0)
            lines += Line();
        return lines;
    }

    // Mostly seven fields a line; sometimes six or eight, or a run longer than a field.
    std::string Line() {
        ++lines_;
        std::string line = "12/05/2026 10:" + std::to_string(10 + Pick(50)) + ":00 " + std::to_string(Pick(100000)) +
                           " " + Value(900) + "\xB0" "C #" + Value(3000) + "MH #" + Value(5) + "volt #" +
                           Value(6000) + "rpm!\r\n";
        switch (Pick(14)) {
        case 0: return "extra " + line;
        case 1: return line.substr(line.find(' ') + 1);
        case 2: return "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd " + line;
        default: return line;
        }
    }

    // A reading below about top, higher the longer the log has grown, so that new
    // maxima keep coming; or one of the texts that rank otherwise.
    std::string Value(uint32_t top) {
        static const char* const others[] = {"N/A", "", "-", "+7", "-12.5", "-0", "007", "45.50", "45,5", "1e3",
                                             "9.", ".5", "12a", "-99999", "0.000", "1.000000000000001"};
        if (Pick(10) == 0)
            return others[Pick(std::size(others))];
        std::string v = std::to_string(Pick(top) + lines_ / 8);
        return Pick(2) ? v + "." + std::to_string(Pick(10)) : v;
    }

    uint32_t Pick(size_t n) { return n == 0 ? 0 : static_cast<uint32_t>(rng_() % n); }

    std::mt19937 rng_;
    bool endOfData_;
    std::string bytes_;
    std::string rest_;  // the second half of a line whose first half was appended
    uint32_t lines_ = 0;  // written so far
};

// What a module reading the whole log at every pass answers. Actual and Max each run
// one pass over every state of the log, so one reading serves both.
class WholeReading {
public:
    // One pass over the file at path, as the C runtime reads it in text mode.
    bool Pass(const char* path) {
        size_t size = SizeOf(path);
        FILE* f = fopen(path, "r");
        if (!f)
            return false;
        // A run is never longer than the file, so "%s" needs no width here.
        std::array<std::vector<char>, 7> buffers;
        for (int i = 0; i < 7; ++i) {
            buffers[i].assign(size + 1 + fields_[i].size(), '\0');
            std::copy(fields_[i].begin(), fields_[i].end(), buffers[i].begin());
        }
        for (int lineFeeds = 0, c; lineFeeds < 3 && (c = fgetc(f)) != EOF;)
            lineFeeds += c == '\n';
        while (!feof(f) && !ferror(f)) {
            fscanf(f, "%s%s%s%s%s%s%s\r", buffers[0].data(), buffers[1].data(), buffers[2].data(),
                   buffers[3].data(), buffers[4].data(), buffers[5].data(), buffers[6].data());
            for (int i = 0; i < 7; ++i)
                fields_[i] = std::string(buffers[i].data()).substr(0, 19);  // a field keeps 19 bytes of its run
            Fold();
        }
        fclose(f);
        return true;
    }

    Answers Expected() const {
        Answers a;
        for (int j = 0; j < 4; ++j) {
            a.actual[j] = Answered(Cut(fields_[3 + j], j), j);
            a.max[j] = Answered(maxima_[j], j);
        }
        return a;
    }

private:
    static size_t SizeOf(const char* path) {
        FILE* f = fopen(path, "rb");
        if (!f)
            return 0;
        fseek(f, 0, SEEK_END);
        long size = ftell(f);
        fclose(f);
        return size < 0 ? 0 : static_cast<size_t>(size);
    }

    // The value of source j + 1 is its field less a fixed count of characters at the
    // end; a field shorter than that stays whole.
    static std::string Cut(const std::string& field, int j) {
        static const size_t counts[4] = {2, 2, 4, 4};
        return field.size() >= counts[j] ? field.substr(0, field.size() - counts[j]) : field;
    }

    // Sources 2 to 4 answer from the second character.
    static std::string Answered(const std::string& cut, int j) {
        return j == 0 || cut.empty() ? cut : cut.substr(1);
    }

    // A decimal number as a sign and its digits written out to fixed places, so that
    // two of them compare as texts: 24 places before the point and 24 after.
    struct Number {
        bool valid = false;
        bool negative = false;
        std::string places;
    };

    static Number ParseNumber(const std::string& text) {
        Number n;
        size_t i = 0;
        bool minus = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            minus = text[i++] == '-';
        size_t wholeStart = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        std::string whole = text.substr(wholeStart, i - wholeStart), fraction;
        if (whole.empty())
            return n;
        if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
            size_t fractionStart = ++i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                ++i;
            fraction = text.substr(fractionStart, i - fractionStart);
            if (fraction.empty())
                return n;
        }
        if (i != text.size())
            return n;
        n.valid = true;
        n.places = std::string(24 - whole.size(), '0') + whole + fraction + std::string(24 - fraction.size(), '0');
        n.negative = minus && n.places.find_first_not_of('0') != std::string::npos;  // -0 is 0
        return n;
    }

    // Numbers rank above other texts and by value; other texts by unsigned bytes.
    static bool RanksAbove(const std::string& candidate, const std::string& stored, int j) {
        Number a = ParseNumber(Answered(candidate, j)), b = ParseNumber(Answered(stored, j));
        if (a.valid != b.valid)
            return a.valid;
        if (!a.valid) {
            return std::lexicographical_compare(stored.begin(), stored.end(), candidate.begin(), candidate.end(),
                                                [](char x, char y) {
                                                    return static_cast<unsigned char>(x) <
                                                           static_cast<unsigned char>(y);
                                                });
        }
        if (a.negative != b.negative)
            return b.negative;
        return a.negative ? a.places < b.places : a.places > b.places;
    }

    void Fold() {
        for (int j = 0; j < 4; ++j) {
            std::string cut = Cut(fields_[3 + j], j);
            if (RanksAbove(cut, maxima_[j], j))
                maxima_[j] = cut;
        }
    }

    std::array<std::string, 7> fields_;  // as the last record read left them
    std::array<std::string, 4> maxima_;  // never cleared
};

}  // namespace growing_log
