#include <gtest/gtest.h>

#include <cerrno>

#include "unit/Fixture.h"

using namespace ostrell;
using unittest::Fixture;

namespace {
const std::string Log = "/data/VRXlogOUT.txt", Stamp = "2026-12-06 00:00:00 ";
const auto Limit = static_cast<size_t>(translog::TransferLogLimit);
}  // namespace

TEST(TransferLog, RotatesOnlyWhenStrictlyLargerThanTheLimitKeepingOneBackup) {
    Fixture f;
    // A file that the next line takes to exactly the limit stays.
    f.fs.putFile(Log, std::string(Limit - Stamp.size() - 2, 'a'));
    f.fs.putFile(Log + ".bak", "old backup");
    f.log.write("");
    EXPECT_EQ(f.fs.content(Log).size(), Limit);
    EXPECT_EQ(f.fs.content(Log + ".bak"), "old backup");
    // One more line takes it past the limit: that line is the last of the backup.
    f.log.write("last");
    EXPECT_FALSE(f.fs.has(Log));
    EXPECT_EQ(f.fs.content(Log + ".bak").size(), Limit + Stamp.size() + 6);
    f.log.write("fresh");
    EXPECT_EQ(f.fs.content(Log), Stamp + "fresh\r\n");
    EXPECT_TRUE(f.sinks.reports.empty());

    // The length is kept between lines, but the file decides: emptied by the host, it is not rotated.
    Fixture g;
    g.fs.putFile(Log, std::string(Limit - Stamp.size() - 2, 'a'));
    g.log.write("");
    g.fs.putFile(Log, "");
    g.log.write("x");
    EXPECT_FALSE(g.fs.has(Log + ".bak"));
    EXPECT_EQ(g.fs.content(Log), Stamp + "x\r\n");
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
