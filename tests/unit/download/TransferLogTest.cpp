#include <gtest/gtest.h>

#include "unit/Fixture.h"

using namespace ostrell;
using unittest::Fixture;

namespace {
const std::string Log = "/data/VRXlogOUT.txt", Stamp = "2026-12-06 00:00:00 ";
const auto Limit = static_cast<size_t>(translog::TransferLogLimit);
}  // namespace

TEST(TransferLog, RotatesOnlyWhenStrictlyLargerThanTheLimitAsTheFileNowStands) {
    Fixture f, g;
    for (Fixture* x : {&f, &g}) {
        x->fs.putFile(Log, std::string(Limit - Stamp.size() - 2, 'a'));
        x->log.write("");  // exactly the limit: stays
        EXPECT_EQ(x->fs.content(Log).size(), Limit);
    }
    f.log.write("last");  // past it: that line is the last of the single backup
    f.log.write("fresh");
    EXPECT_EQ(f.fs.content(Log + ".bak").size(), Limit + Stamp.size() + 6);
    EXPECT_EQ(f.fs.content(Log), Stamp + "fresh\r\n");
    // The length is kept between lines, but the file decides: emptied by the host, it is not rotated.
    g.fs.putFile(Log, "");
    g.log.write("x");
    EXPECT_FALSE(g.fs.has(Log + ".bak"));
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(TransferLog, AMissingDirectoryOrFullDiskIsReportedAndTheCallerCarriesOn) {
    Fixture f;
    f.params.dataDirPath = "/nowhere/";
    f.log.write("lost");
    f.params.dataDirPath = "/data/";
    f.fs.setCapacity(0);
    f.log.write("also lost");
    f.fs.setCapacity(-1);
    f.log.write("kept");
    EXPECT_EQ(unittest::reportedProcedures(f.sinks), (unittest::Lines{"LogRec", "LogRec"}));
    EXPECT_EQ(f.sinks.reports[1].number, platform::err::DiskFull);
    EXPECT_EQ(f.fs.content(Log), Stamp + "kept\r\n");
}
