#include <gtest/gtest.h>

#include <array>

#include "platform/RepeatFilter.h"
#include "unit/Fixture.h"

using namespace ostrell;

// The one place a label is pinned: a report names the failing procedure and statement, the procedure goes on
// (a failing loop test ends its loop); only the answer 999 ends the program, a sink that cannot be made (-2)
// or fails (-1) is passed over, and an end passes through.
TEST(ErrorTrap, AReportNamesTheFailingStatementAndOnly999EndsTheProgram) {
    for (const int32_t answer : {0, 999, 998, -999, 999 + 65536, -1, -2}) {
        unittest::Base f;
        f.sinks.missing = answer == -2;
        f.sinks.sinkThrows = answer == -1;
        f.sinks.answer = answer;
        errors::Trap trap(f.reporter, "GetFiles");
        const auto fail = [] { throw platform::PlatformError(61, "Disk full", "wsock"); };
        std::vector<int> ran;
        const auto more = [&] { return ran.size() == 2 ? (fail(), true) : true; };
        bool ended = false;
        try {
            while (trap.value(80, false, more)) ran.push_back(80);
            trap(85, [&] { fail(), ran.push_back(85); });
            trap(90, [&] { ran.push_back(90); });
        } catch (const fake::ProgramEnded&) {
            ended = true;
        }
        EXPECT_EQ(ended, answer == 999);
        EXPECT_EQ(ran, (ended ? std::vector<int>{80, 80} : std::vector<int>{80, 80, 90})) << answer;
        EXPECT_THROW(trap(95, [] { throw platform::ProgramEnding{}; }), platform::ProgramEnding);
        if (answer == -2) continue;
        EXPECT_EQ(unittest::reportedProcedures(f.sinks), unittest::Lines(ended ? 1 : 2, "GetFiles"));
        EXPECT_EQ(f.sinks.reports.back().line, ended ? 80 : 85);
        const auto& r = f.sinks.reports[0];
        EXPECT_EQ(std::to_string(r.line) + " " + std::to_string(r.number) + " " + r.description + " " + r.source,
                  "80 61 Disk full wsock");
    }
}

TEST(RepeatFilter, ARepeatedReportIsWrittenOnceThenCountedInAtMostOneLineAnHour) {
    platform::RepeatFilter filter;
    struct Step {
        const char* text = "importer missing";
        int64_t atMs;
        std::optional<std::string> written = std::nullopt;
    };
    const auto steps = std::to_array<Step>({
        {.atMs = 0, .written = "importer missing"},
        {.atMs = 15000},
        {.text = "server down", .atMs = 15000, .written = "server down"},
        {.atMs = 3599999},
        {.atMs = 3600000, .written = "importer missing (repeated 3 times since it was last written)"},
        {.atMs = 3615000},
    });
    for (const auto& [text, atMs, written] : steps) EXPECT_EQ(filter.pass(text, atMs), written) << text << " " << atMs;
    // The link came back: the count owed is written, and the next outage's first report is news again.
    EXPECT_EQ(filter.forget(),
              std::vector<std::string>{"importer missing (repeated 1 times since it was last written)"});
    EXPECT_EQ(filter.pass("server down", 3616000), "server down");
}
