#include <gtest/gtest.h>

#include <cerrno>

#include "unit/Fixture.h"

using namespace ostrell;
// The download's fixture: the log on the fake file system with "/data/" as the data directory.
using Fixture = unittest::DownloadFixture;

TEST(TransferLog, EachCallAddsOneDatedLineEvenForAnEmptyText) {
    Fixture f;
    f.log.write("10|\"1\",\"x\"");
    f.log.write("");
    EXPECT_EQ(f.fs.content("/data/VRXlogOUT.txt"), "2026-12-06 00:00:00 10|\"1\",\"x\"\r\n2026-12-06 00:00:00 \r\n");
}

TEST(TransferLog, RotatesOnlyWhenStrictlyLargerThanTheLimitKeepingOneBackup) {
    Fixture f;
    const std::string prefix = "2026-12-06 00:00:00 ";
    // A file that the next line takes to exactly the limit stays.
    const int64_t lineLen = static_cast<int64_t>(prefix.size()) + 2;
    f.fs.putFile("/data/VRXlogOUT.txt", std::string(translog::TransferLogLimit - lineLen, 'a'));
    f.fs.putFile("/data/VRXlogOUT.txt.bak", "old backup");
    f.log.write("");
    EXPECT_EQ(f.fs.content("/data/VRXlogOUT.txt").size(), static_cast<size_t>(translog::TransferLogLimit));
    EXPECT_EQ(f.fs.content("/data/VRXlogOUT.txt.bak"), "old backup");
    // One more line takes it past the limit: that line is the last of the backup.
    f.log.write("last");
    EXPECT_FALSE(f.fs.has("/data/VRXlogOUT.txt"));
    const std::string bak = f.fs.content("/data/VRXlogOUT.txt.bak");
    EXPECT_EQ(bak.size(), static_cast<size_t>(translog::TransferLogLimit) + prefix.size() + 6);
    EXPECT_EQ(bak.substr(bak.size() - 6), "last\r\n");
    f.log.write("fresh");
    EXPECT_EQ(f.fs.content("/data/VRXlogOUT.txt"), prefix + "fresh\r\n");
    EXPECT_TRUE(f.sinks.reports.empty());

    // The length is kept between lines, but the file decides: emptied by the host, it is not rotated.
    Fixture g;
    g.fs.putFile("/data/VRXlogOUT.txt", std::string(translog::TransferLogLimit - lineLen, 'a'));
    g.log.write("");
    g.fs.putFile("/data/VRXlogOUT.txt", "");
    g.log.write("x");
    EXPECT_FALSE(g.fs.has("/data/VRXlogOUT.txt.bak"));
    EXPECT_EQ(g.fs.content("/data/VRXlogOUT.txt"), prefix + "x\r\n");
}

TEST(TransferLog, AMissingDirectoryOrFullDiskIsReportedAndTheCallerCarriesOn) {
    Fixture f;
    f.params.dataDirPath = "/nowhere/";
    f.log.write("lost");
    f.params.dataDirPath = "/data/";
    f.fs.failOn(fake::FakeFileSystem::Op::Append, ENOSPC);
    f.log.write("also lost");
    f.log.write("kept");
    EXPECT_EQ(f.sinks.where(), (std::vector<std::string>{"LogRec:10", "LogRec:10"}));
    EXPECT_EQ(f.sinks.reports[1].number, platform::err::DiskFull);
    EXPECT_EQ(f.fs.content("/data/VRXlogOUT.txt"), "2026-12-06 00:00:00 kept\r\n");
}
