// Actual and Max over random histories of a log, every pass held to the C runtime's
// own reading of the whole file as it stands (growing_log.h), not to the module
// reading itself. The module reads a fake file of the same bytes; the C runtime
// reads them from a file on disk.
// Where there is a C runtime of the system's own (msvcrt), its scanf, not mingw's.
#define __USE_MINGW_ANSI_STDIO 0
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "fakes.h"
#include "growing_log.h"
#include "logvalues/current_values.h"
#include "logvalues/running_maxima.h"

using growing_log::Answers;
using growing_log::Step;
using namespace testing_fakes;

namespace {

#if defined(_WIN32)
constexpr bool kTextModeEndsAt1A = true;  // msvcrt: 0x1A ends a file read in text mode
#else
constexpr bool kTextModeEndsAt1A = false;
#endif

struct Module {
    logvalues::CurrentValues current{};
    logvalues::RunningMaxima maxima{};

    // One due pass of each value function, then the other sources from what it read.
    Answers Ask(const settings::MonitorSettings& s, FakeClock& clock, FakeLogFile& file) {
        clock.now += 5 * kSecond;
        Answers a;
        for (int n = 1; n <= 4; ++n) {
            std::string text = std::to_string(n);
            a.actual[n - 1] = logvalues::AnswerActual(current, text.c_str(), s, clock, file);
            a.max[n - 1] = logvalues::AnswerMax(maxima, text.c_str(), s, clock, file);
        }
        return a;
    }
};

void Apply(const Step& step, FakeLogFile& file, const std::string& bytes) {
    file.bytes = bytes;
    if (step.kind == Step::kReplace)
        file.identity.index += 1;  // a file of its own, as NTFS gives one
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

TEST(GrowingLogDifferential, EveryPassAnswersAsTheCRuntimeReadingTheWholeFile) {
    settings::MonitorSettings s{};
    snprintf(s.logPath, sizeof s.logPath, "C:\\Quintavo\\log.txt");
    snprintf(s.sourcesText, sizeof s.sourcesText, "+Temp,+Clock,+Volt,+Fan");
    settings::SplitSources(s);
    const std::string path = testing::TempDir() + "qx_growing_log.log";
    std::map<std::string, int> steps;
    int maxChanges = 0, appends = 0, appendsGoneOn = 0;
    for (uint32_t seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        growing_log::History history(seed, kTextModeEndsAt1A);
        growing_log::WholeReading whole;
        auto module = std::make_unique<Module>();
        FakeClock clock;
        FakeLogFile file;
        file.bytes = history.Bytes();
        if (seed % 3 == 0)
            file.chunk = seed * 131 % 5000 + 1;  // reads that stop short
        std::string last = "the log as first written";
        bool appended = false;
        Answers before;
        for (int step = 0; step < 120; ++step) {
            ASSERT_TRUE(WriteBytes(path, file.bytes));
            ASSERT_TRUE(whole.Pass(path.c_str()));
            bool goesOn = appended && module->current.resume.mark.offset > 2 * logvalues::kCheckedBytes;
            uint64_t read = file.bytesRead;
            Answers got = module->Ask(s, clock, file);
            ASSERT_EQ(got, whole.Expected()) << "step " << step << " after: " << last << ", "
                                             << file.bytes.size() << " bytes";
            appends += goesOn;
            appendsGoneOn += goesOn && file.bytesRead - read < 2 * file.bytes.size();  // two passes, each less
            maxChanges += got.max != before.max;
            before = got;
            Step next = history.Next();
            Apply(next, file, history.Bytes());
            appended = next.kind == Step::kAppend;
            last = next.what;
            ++steps[last];
        }
    }
    remove(path.c_str());
    EXPECT_EQ(appendsGoneOn, appends) << "every pass after an append went on from its mark";
    EXPECT_GT(appends, 500);
    EXPECT_GT(maxChanges, 50) << "passes found new maxima";
    for (const auto& [what, count] : steps)
        EXPECT_GT(count, 20) << what;
    EXPECT_EQ(steps.size(), 10u) << "every kind of step was taken";
}

}  // namespace
