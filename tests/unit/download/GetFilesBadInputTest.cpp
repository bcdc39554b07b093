#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "platform/PlatformError.h"
#include "unit/Fixture.h"

using namespace ostrell;
using namespace ostrell::unittest;
using Lines = std::vector<std::string>;
using Op = fake::FakeFileSystem::Op;

TEST(DownloadBadInput, MalformedRepliesAreRejectedOrStoredAsTheyCameButNeverAcknowledgedUnstored) {
    DownloadFixture f;
    std::string tenThousand = "10|\"a\"";
    for (int i = 2; i <= 10000; ++i) tenThousand += ",\"" + std::to_string(i) + "\"";
    const std::string mib = "10|" + bookingLine("1", std::string(1 << 20, 'm'));
    const std::string bytes = "10|" + bookingLine("2", std::string("\x01\x02\t\x7f\xe9\xff\x80 caf\xc3\xa9", 13));
    const std::string negative = "10|" + bookingLine("-5");

    f.server.reply("10|BK1", "10|abcdef,ghi");                                 // no quotes: 2 fields
    f.server.reply("10|BK1", "10|\"\"\"\"\"\"\"\"");                           // only quotes
    f.server.reply("10|BK1", "10|\"a,b,c,d,e,6,g,h,i,j,k,l,m,n,o,p,q,r,s,t");  // unbalanced: one field
    f.server.reply("10|BK1", tenThousand);
    f.server.reply("10|BK1", "10|" + bookingLine("99999999999"));  // past 32 bits
    f.server.record("10|BK1", 1, mib);
    f.server.record("10|BK1", 2, bytes);
    f.server.record("10|BK1", -5, negative);
    f.server.reply("10|BK1", "none10");  // NONE before the digits still ends
    f.server.reply("11|BK1", "NONE11NONE");
    f.downloadFiles();

    f.fs.powerLoss();
    EXPECT_EQ(f.expectEveryAckDurable(), 3u);
    EXPECT_EQ(f.exchange.acks(), (Lines{"12|1", "12|2", "12|-5"}));
    EXPECT_EQ(fileLines(f.fs.content(BookingsPath)),
              (Lines{download::recordLine(mib), download::recordLine(bytes), download::recordLine(negative)}));
    EXPECT_EQ(f.sinks.where(), (Lines{"Valid8:10"}));
}

TEST(DownloadBadInput, TheWordNoneInsideARecordIsDataNotTheEndOfTheQueue) {
    DownloadFixture f;
    f.params.loNumbers[2] = "BK2";
    f.server.record("10|BK1", 7, "10|" + bookingLine("7", "Nonesuch Lodge"));
    f.server.record("10|BK2", 8, "10|" + bookingLine("8"));
    f.downloadFiles();
    EXPECT_EQ(f.exchange.acks(), (Lines{"12|7", "12|8"}));
    EXPECT_EQ(fileLines(f.fs.content(BookingsPath)), (Lines{bookingLine("7", "Nonesuch Lodge"), bookingLine("8")}));
    EXPECT_TRUE(f.server.queues["10|BK1"].empty());
}

TEST(DownloadBadInput, AnUnusableDataDirectoryIsReportedAndNothingUnstoredIsAcknowledged) {
    struct Case {
        std::string name;
        std::function<void(DownloadFixture&)> setUp;
        Lines acks;  // what may still be acknowledged
    };
    const std::vector<Case> cases = {
        {"missing", [](DownloadFixture& f) { f.params.dataDirPath = "/nowhere/"; }, {}},
        {"read-only with files",
         [](DownloadFixture& f) {
             f.fs.putFile(BookingsPath, "");
             f.fs.putFile(PaymentsPath, "");
             f.fs.setReadOnly("/data");
         },
         {}},
        {"read-only without files", [](DownloadFixture& f) { f.fs.setReadOnly("/data"); }, {}},
        {"full", [](DownloadFixture& f) { f.fs.setCapacity(0); }, {}},
        {"incoming file is a directory", [](DownloadFixture& f) { f.fs.addDirectory(BookingsPath); }, {"13|2"}},
        {"incoming file locked by the importer",
         [](DownloadFixture& f) {
             f.fs.putFile(BookingsPath, bookingLine("0") + "\r\n");
             f.fs.beforeOp = [](Op op, const std::string& p) {
                 if (p == BookingsPath && op != Op::Length) throw platform::errnoError(EBUSY, p);
             };
         },
         {"13|2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadFixture f;
        f.server.record("10|BK1", 1, "10|" + bookingLine("1"));
        f.server.record("11|BK1", 2, "11|" + paymentLine("2"));
        c.setUp(f);
        f.downloadFiles();
        EXPECT_EQ(f.exchange.acks(), c.acks);
        f.fs.beforeOp = nullptr;
        f.fs.powerLoss();
        f.expectEveryAckDurable();
        // Each store that failed is reported under GetFiles; the server keeps what was not acknowledged.
        const Lines where = f.sinks.where();
        EXPECT_EQ(std::count(where.begin(), where.end(), "GetFiles:20"), 2 - static_cast<long>(c.acks.size()));
        EXPECT_EQ(f.server.queues["10|BK1"].size(), 1u);
        EXPECT_TRUE(f.exchange.quitSent);
        EXPECT_EQ(f.launcher.started.size(), 1u) << "records were received, so the command still starts";
    }
}
