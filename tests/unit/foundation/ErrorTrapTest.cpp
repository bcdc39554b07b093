#include <gtest/gtest.h>

#include <optional>

#include "platform/RepeatFilter.h"
#include "unit/Fixture.h"

using namespace ostrell;

namespace {
void fail() { throw platform::PlatformError(61, "Disk full", "wsock"); }
}  // namespace

// The one place a label is pinned: a report names the procedure and the statement that failed, and the
// procedure goes on with the next statement; a failing loop test ends its loop. Only the sink's answer 999
// ends the program; a sink that cannot be made or fails is passed over; an end passes through the trap.
TEST(ErrorTrap, AReportNamesTheFailingStatementAndOnly999EndsTheProgram) {
    const std::optional<int32_t> answers[] = {0, 999, 998, -999, 999 + 65536, -1, std::nullopt};  // -1: sink throws
    for (const auto& answer : answers) {
        unittest::Base f;
        auto& sinks = f.sinks;
        sinks.missing = !answer;
        sinks.sinkThrows = answer == -1;
        if (answer) sinks.answers = {*answer};
        errors::Trap trap(f.reporter, "GetFiles");
        std::vector<int> ran;
        int rounds = 0;
        const auto run = [&] {
            trap(80, [&] { ran.push_back(80); });
            while (trap.value(
                85, [&] { return rounds == 2 ? (fail(), true) : true; }, false))
                ++rounds;
            trap(90, [&] { ran.push_back(90); });
            trap(95, [&] { fail(), ran.push_back(95); });
        };
        bool ended = false;
        try {
            run();
        } catch (const fake::ProgramEnded&) {
            ended = true;
        }
        EXPECT_EQ(ended, answer == 999);
        EXPECT_EQ(rounds, 2);
        EXPECT_EQ(ran, (answer == 999 ? std::vector<int>{80} : std::vector<int>{80, 90})) << answer.value_or(-2);
        EXPECT_EQ(f.terminator.ended, answer == 999 ? 1 : 0) << answer.value_or(-2);
        EXPECT_THROW(trap(100, [] { throw platform::ProgramEnding{}; }), platform::ProgramEnding);
        if (!answer) continue;
        EXPECT_EQ(sinks.where().size(), answer == 999 ? 1u : 2u);
        EXPECT_EQ(sinks.where().back(), answer == 999 ? "GetFiles:85" : "GetFiles:95");
        const auto& r = sinks.reports[0];
        EXPECT_EQ(std::to_string(r.number) + " " + r.description + " " + r.source + " " + r.moduleName + " " +
                      r.programName + " " + r.programVersion,
                  "61 Disk full wsock frmMain Ostrell " + errors::programVersionText());
    }
}

TEST(RepeatFilter, ARepeatedReportIsWrittenOnceThenCountedInAtMostOneLineAnHour) {
    platform::RepeatFilter filter;
    const int64_t hour = 3600 * 1000;
    const std::tuple<const char*, int64_t, std::optional<std::string>> steps[] = {
        {"importer missing", 0, "importer missing"},
        {"importer missing", 15000, std::nullopt},
        {"server down", 15000, "server down"},
        {"importer missing", hour - 1, std::nullopt},
        {"importer missing", hour, "importer missing (repeated 3 times since it was last written)"},
        {"importer missing", hour + 15000, std::nullopt}};
    for (const auto& [text, atMs, written] : steps) EXPECT_EQ(filter.pass(text, atMs), written) << text << " " << atMs;
}
