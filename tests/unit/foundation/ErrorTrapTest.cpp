#include <gtest/gtest.h>

#include <optional>

#include "errors/ErrorReporter.h"
#include "errors/Trap.h"
#include "fakes/RecordingErrorSink.h"
#include "platform/EventLoop.h"
#include "platform/PlatformError.h"
#include "platform/RepeatFilter.h"

using namespace ostrell;

namespace {
struct Fixture {
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter reporter{sinks, terminator};
};
void fail(int32_t number, const char* what) { throw platform::PlatformError(number, what, "wsock"); }
}  // namespace

TEST(ErrorTrap, EachFailureIsReportedOnceWithItsLabelAndTheProcedureCarriesOn) {
    Fixture f;
    errors::Trap trap(f.reporter, "GetFiles");
    std::vector<int> ran;
    trap(80, [&] { ran.push_back(80); });
    trap(85, [&] {
        fail(53, "File not found");
        ran.push_back(-85);
    });
    trap(90, [&] { ran.push_back(90); });
    trap(95, [&] { fail(61, "Disk full"); });
    trap(100, [&] { ran.push_back(100); });
    EXPECT_EQ(ran, (std::vector<int>{80, 90, 100}));
    ASSERT_EQ(f.sinks.where(), (std::vector<std::string>{"GetFiles:85", "GetFiles:95"}));
    const auto& r = f.sinks.reports[1];
    EXPECT_EQ(r.number, 61);
    EXPECT_EQ(r.description, "Disk full");
    EXPECT_EQ(r.source, "wsock");
    EXPECT_EQ(r.moduleName, "frmMain");
    EXPECT_EQ(r.programName, "Ostrell");
    EXPECT_EQ(r.programVersion, errors::programVersionText());
    EXPECT_EQ(r.input10, 0);
    EXPECT_EQ(r.input11, " ");
    EXPECT_EQ(r.input12, " ");
    EXPECT_EQ(r.extraText, "");
    EXPECT_EQ(f.sinks.created, 2) << "a fresh sink per report";
    EXPECT_EQ(f.sinks.alive, 0) << "and released after it";
}

TEST(ErrorTrap, AFailingLoopTestEndsTheLoop) {
    Fixture f;
    errors::Trap trap(f.reporter, "SendFiles");
    int rounds = 0;
    while (trap.value(
        95,
        [&]() -> bool {
            if (rounds == 3) fail(57, "Device I/O error");
            return true;
        },
        false))
        ++rounds;
    EXPECT_EQ(rounds, 3);
    EXPECT_EQ(f.sinks.where(), std::vector<std::string>{"SendFiles:95"});
}

TEST(ErrorTrap, AnswerOf999EndsAtOnceOtherAnswersCarryOn) {
    for (int32_t answer : {998, 1000, 0, -999, 70000, -40000}) {
        Fixture f;
        f.sinks.answers = {answer};
        errors::Trap trap(f.reporter, "LogRec");
        bool next = false;
        trap(10, [] { fail(75, "Path/File access error"); });
        trap(15, [&] { next = true; });
        EXPECT_TRUE(next) << answer;
        EXPECT_EQ(f.terminator.ended, 0) << answer;
        EXPECT_EQ(f.reporter.lastResult(), 0);
    }
    Fixture f;
    f.sinks.answers = {999};
    errors::Trap trap(f.reporter, "LogRec");
    bool next = false;
    EXPECT_THROW(
        {
            trap(10, [] { fail(75, "Path/File access error"); });
            trap(15, [&] { next = true; });
        },
        fake::ProgramEnded);
    EXPECT_FALSE(next);
    EXPECT_EQ(f.terminator.ended, 1);
}

TEST(ErrorTrap, AMissingOrFailingSinkIsPassedOverAndAnEndingPassesThrough) {
    Fixture f;
    f.sinks.missing = true;
    errors::Trap trap(f.reporter, "CheckVRX");
    bool next = false;
    trap(10, [] { fail(53, "File not found"); });
    trap(15, [&] { next = true; });
    EXPECT_TRUE(next);
    f.sinks.missing = false;
    f.sinks.sinkThrows = true;
    trap(20, [] { fail(53, "File not found"); });
    EXPECT_EQ(f.terminator.ended, 0);
    EXPECT_EQ(trap.failures(), 2);
    EXPECT_THROW(trap(25, [] { throw platform::ProgramEnding{}; }), platform::ProgramEnding);
}

TEST(RepeatFilter, ARepeatedReportIsWrittenOnceThenCountedInAtMostOneLineAnHour) {
    platform::RepeatFilter filter;
    const int64_t hour = platform::RepeatFilter::SummaryEveryMs;
    struct Step {
        const char* text;
        int64_t atMs;
        std::optional<std::string> written;
    };
    for (const Step& s :
         {Step{"importer missing", 0, "importer missing"}, Step{"importer missing", 15000, std::nullopt},
          Step{"server down", 15000, "server down"}, Step{"importer missing", hour - 1, std::nullopt},
          Step{"importer missing", hour, "importer missing (repeated 3 times since it was last written)"},
          Step{"importer missing", hour + 15000, std::nullopt}})
        EXPECT_EQ(filter.pass(s.text, s.atMs), s.written) << s.text << " at " << s.atMs;
}
