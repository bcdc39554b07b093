#include <gtest/gtest.h>

#include "upload/OutFileCutDown.h"
#include "upload/OutLineReading.h"

using namespace ostrell::upload;
using Action = CutDownPlan::Action;

namespace {
CutDownPlan plan(const std::string& read, const std::vector<bool>& accepted, const std::string& now) {
    return planCutDown(read, readOutLines(read), accepted, now);
}
}  // namespace

TEST(CutDownPlan, AcceptedLinesGoAndTheRestStaysInOrderWithCrLfEnds) {
    // Nothing changed on disk.
    EXPECT_EQ(plan("a\r\nb\r\n", {true, true}, "a\r\nb\r\n").action, Action::Delete);
    const CutDownPlan p = plan("a\rb\rc\nx\rd\re", {true, true, false, false, false}, "a\rb\rc\nx\rd\re");
    EXPECT_EQ(p.action, Action::Rewrite);
    EXPECT_EQ(p.content, "c\nx\r\nd\r\ne\r\n");
    EXPECT_EQ(p.removed, 2u);
    // Blank lines are records like any other.
    EXPECT_EQ(plan("\r\n\r\nz\r\n", {true, false, false}, "\r\n\r\nz\r\n").content, "\r\nz\r\n");
    EXPECT_EQ(plan("a\r\nb\r\n", {false, false}, "a\r\nb\r\n").action, Action::LeaveAlone);
    // A file read empty and still empty goes.
    EXPECT_EQ(plan("", {}, "").action, Action::Delete);
    // A CR at the end of what was read that turned into CR LF is the same line end.
    EXPECT_EQ(plan("a\r", {true}, "a\r\n").action, Action::Delete);
}

TEST(CutDownPlan, LinesTheHostAddedAfterReadingStay) {
    CutDownPlan p = plan("a\r\nb\r\n", {true, true}, "a\r\nb\r\nc\r\n");
    EXPECT_EQ(p.action, Action::Rewrite);
    EXPECT_EQ(p.content, "c\r\n");
    EXPECT_EQ(p.added, 1u);
    p = plan("a\r\nb\r\n", {true, false}, "a\r\nb\r\nc\rd");
    EXPECT_EQ(p.content, "b\r\nc\r\nd\r\n");
    // Nothing accepted: the file is the host's as it stands.
    EXPECT_EQ(plan("a\r\n", {false}, "a\r\nnew\r\n").action, Action::LeaveAlone);
    EXPECT_EQ(plan("", {}, "new\r\n").action, Action::LeaveAlone);
    // A last line caught half-written and finished since is not the line that was accepted.
    p = plan("a\r\nb", {true, true}, "a\r\nbc\r\n");
    EXPECT_EQ(p.action, Action::Rewrite);
    EXPECT_EQ(p.content, "bc\r\n");
    p = plan("a\r\nb", {true, true}, "a\r\nb\r\nc");
    EXPECT_EQ(p.content, "c\r\n");
}

TEST(CutDownPlan, AFileReplacedOrShortenedByTheHostIsLeftAlone) {
    EXPECT_EQ(plan("a\r\nb\r\n", {true, true}, "x\r\n").action, Action::Replaced);
    EXPECT_EQ(plan("a\r\nb\r\n", {true, true}, "a\r\n").action, Action::Replaced);
    EXPECT_EQ(plan("a\r\nb\r\n", {true, false}, "").action, Action::Replaced);
    EXPECT_EQ(plan("a\r\nb\r\n", {true, false}, "a\r\nB\r\nc\r\n").action, Action::Replaced);
}
