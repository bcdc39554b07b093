#include <gtest/gtest.h>

#include <cerrno>

#include "unit/Fixture.h"

using namespace ostrell;
using namespace ostrell::unittest;
using Strings = std::vector<std::string>;
using Op = fake::FakeFileSystem::Op;

TEST(OutgoingFiles, WaitingFilesAreOrdinaryFilesOfTheSevenNames) {
    UploadFixture f;
    EXPECT_FALSE(f.up.hasFilesToSend());
    f.fs.addDirectory("/data/Prices.csv");
    f.fs.putFile("/data/Prices.txt", "x");
    f.fs.putFile("/data/prices.csv.bak", "x");
    EXPECT_FALSE(f.up.hasFilesToSend());
    f.fs.putFile(f.path("RoomTypes"), "");
    EXPECT_TRUE(f.up.hasFilesToSend());
    // A directory setting without its separator does not find the files inside it.
    f.params.dataDirPath = "/data";
    EXPECT_FALSE(f.up.hasFilesToSend());
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(OutgoingFiles, FilesGoInKindOrderAndFilesSentInFullOrEmptyAreDeleted) {
    UploadFixture f;
    const Strings names = {"RoomTypes", "Bookings", "Deleted", "Prices", "Periods", "EndDate", "Child"};
    for (const auto& n : names) f.fs.putFile(f.path(n), n + "-line1\r\n" + n + "-line2");
    f.fs.putFile(f.path("Prices"), "");
    f.up.sendFiles();
    EXPECT_EQ(f.server.sent,
              (Strings{"1|Child-line1", "1|Child-line2", "2|EndDate-line1", "2|EndDate-line2", "3|Periods0|-line1",
                       "3|Periods0|-line2", "5|Deleted-line1", "5|Deleted-line2", "6|Bookings-line1",
                       "6|Bookings-line2", "7|RoomTyp0|es-line1", "7|RoomTyp0|es-line2"}));
    EXPECT_EQ(f.dataFiles(), Strings{});
    EXPECT_FALSE(f.up.hasFilesToSend());
    EXPECT_TRUE(f.up.outLines.empty());
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(OutgoingFiles, APartlySentFileKeepsWhatWasNotAcceptedWithCrLfEndsAndNoWorkFileStays) {
    UploadFixture f;
    f.fs.putFile(f.path("EndDate"), "r1\rr2\r\nr3\rr4\nx\r\n\r\n");
    f.fs.putFile(f.path("Deleted"), "d1\r\nd2\r\n");
    f.server.rule = [](const std::string& req) { return req == "2|r3" ? say("BAD") : accept(req); };
    f.up.sendFiles();
    EXPECT_EQ(f.fs.content(f.path("EndDate")), "r3\r\nr4\nx\r\n\r\n");
    EXPECT_FALSE(f.fs.has(f.path("Deleted")));
    EXPECT_EQ(f.dataFiles(), Strings{"EndDate.csv"});
    EXPECT_EQ(f.server.ledger, (Strings{"2|r1", "2|r2", "5|d1", "5|d2"}));

    // Next cycle: the rest goes, starting with the record that stopped it.
    f.server.rule = nullptr;
    f.up.sendFiles();
    EXPECT_EQ(f.server.ledger, (Strings{"2|r1", "2|r2", "5|d1", "5|d2", "2|r3", "2|r4 x", "2|"}));
    EXPECT_EQ(f.dataFiles(), Strings{});
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(OutgoingFiles, AFileOfWhichNothingWasAcceptedStaysByteForByte) {
    UploadFixture f;
    const std::string bytes = "\"a,b\rc\nd\r\n\r\n   \r\x01\xff tail";
    f.fs.putFile(f.path("Child"), bytes);
    f.server.rule = [](const std::string&) { return say("1|FAILED"); };
    f.up.sendFiles();
    EXPECT_EQ(f.fs.content(f.path("Child")), bytes);
    // The LF inside the second record went as a blank; the file keeps its LF.
    EXPECT_EQ(f.server.sent.front(), "1|a,b");
    f.server.rule = [](const std::string&) { return say("BAD"); };
    f.server.script = {accept("1")};
    f.up.sendFiles();
    EXPECT_EQ(f.server.sent.back(), "1|c d");
    EXPECT_EQ(f.fs.content(f.path("Child")), "c\nd\r\n\r\n   \r\n\x01\xff tail\r\n");
}

TEST(OutgoingFiles, AnUnreadableFileIsReportedLeftAsItIsAndTheNextFileStillGoes) {
    for (int errnum : {EACCES, ENOENT, EISDIR, EIO}) {
        UploadFixture f;
        f.fs.putFile(f.path("Child"), "c1\r\n");
        f.fs.putFile(f.path("EndDate"), "e1\r\n");
        // Unreadable for as long as it is tried (held open by the host, no permission, not a file).
        f.fs.beforeOp = [&](Op op, const std::string& p) {
            if (op == Op::Read && p == f.path("Child")) throw platform::errnoError(errnum, p);
        };
        f.up.sendFiles();
        EXPECT_EQ(f.fs.content(f.path("Child")), "c1\r\n") << errnum;
        EXPECT_EQ(f.server.sent, Strings{"2|e1"}) << errnum;
        EXPECT_FALSE(f.fs.has(f.path("EndDate"))) << errnum;
        EXPECT_EQ(f.sinks.where(), Strings{"SendFiles:20"}) << errnum;
        EXPECT_TRUE(f.up.outLines.empty());
    }
}

TEST(OutgoingFiles, AnEmptyFileThatGetsALineBeforeItsDisposalStays) {
    // An empty file that got a line between its reading and its disposal is not deleted.
    {
        UploadFixture f;
        const std::string periods = f.path("Periods");
        f.fs.putFile(periods, "");
        int reads = 0;
        bool hostWriting = false;
        f.fs.beforeOp = [&](Op op, const std::string& p) {
            if (hostWriting || op != Op::Read || p != periods || ++reads != 2) return;
            hostWriting = true;
            f.fs.append(periods, "PER001,x\r\n", true);
            hostWriting = false;
        };
        f.up.sendFiles();
        EXPECT_EQ(reads, 2);
        EXPECT_EQ(f.fs.content(periods), "PER001,x\r\n");
        EXPECT_TRUE(f.sinks.reports.empty());
    }
}

TEST(OutgoingFiles, AFileTheHostReplacedOrTookAwayWhileItWasSentIsLeftToTheHost) {
    UploadFixture f;
    f.fs.putFile(f.path("Child"), "c1\r\nc2\r\n");
    f.fs.putFile(f.path("EndDate"), "e1\r\n");
    f.server.onRequest = [&](const std::string& req) {
        if (req == "1|c1") f.fs.putFile(f.path("Child"), "new1\r\n");
        if (req == "2|e1") f.fs.remove(f.path("EndDate"));
    };
    f.up.sendFiles();
    EXPECT_EQ(f.fs.content(f.path("Child")), "new1\r\n");
    EXPECT_FALSE(f.fs.has(f.path("EndDate")));
    EXPECT_EQ(f.logTexts().at(2), "File changed while being sent - left as it is: /data/Child.csv");
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(OutgoingFiles, TheTrayAskingWhetherFilesWaitDuringASendChangesNothingOfIt) {
    UploadFixture f;
    f.fs.putFile(f.path("Prices"), "PRC001,a\r\nPRC002,b\r\n");
    int asked = 0;
    f.server.onRequest = [&](const std::string&) {
        const auto lines = f.up.outLines;
        const auto sent = f.up.outLineSent;
        const bool any = f.up.outAnySent;
        const int32_t index = f.up.outFileKind;
        EXPECT_TRUE(f.up.hasFilesToSend());
        EXPECT_EQ(f.up.outLines, lines);
        EXPECT_EQ(f.up.outLineSent, sent);
        EXPECT_EQ(f.up.outAnySent, any);
        EXPECT_EQ(f.up.outFileKind, index);
        ++asked;
    };
    f.up.sendFiles();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(f.server.ledger.size(), 2u);
    EXPECT_FALSE(f.fs.has(f.path("Prices")));
}

TEST(OutgoingFiles, BadInputIsSentLineForLine) {
    UploadFixture f;
    const std::string mib(1 << 20, 'm');
    f.fs.putFile(f.path("Child"), "\r\n\r\n\r\n");                               // blank lines only
    f.fs.putFile(f.path("EndDate"), "a\rb\rc");                                  // CR-only ends, no final end
    f.fs.putFile(f.path("Deleted"), mib + "\r\n" + mib);                         // 1 MiB lines
    f.fs.putFile(f.path("Bookings"), std::string("\0\x7f\x80\xff,\"q\r\n", 9));  // binary, unbalanced quote
    f.up.sendFiles();
    ASSERT_EQ(f.server.ledger.size(), 9u);
    EXPECT_EQ(Strings(f.server.ledger.begin(), f.server.ledger.begin() + 6),
              (Strings{"1|", "1|", "1|", "2|a", "2|b", "2|c"}));
    EXPECT_EQ(f.server.ledger[6], "5|" + mib);
    EXPECT_EQ(f.server.ledger[7], "5|" + mib);
    EXPECT_EQ(f.server.ledger[8], std::string("6|\0\x7f\x80\xff|q", 8));
    EXPECT_EQ(f.dataFiles(), Strings{});
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(OutgoingFiles, AWorkFileLeftByACrashIsClearedAtTheNextSend) {
    UploadFixture f;
    f.fs.putFile(f.path("Prices") + ".ostrell-tmp", "PRC001,a\r\n");
    f.fs.putFile(f.path("Prices"), "PRC000,z\r\nPRC001,a\r\n");
    f.server.rule = [](const std::string&) { return say("BAD"); };
    f.up.sendFiles();
    EXPECT_EQ(f.dataFiles(), Strings{"Prices.csv"});
    EXPECT_EQ(f.fs.content(f.path("Prices")), "PRC000,z\r\nPRC001,a\r\n");
}

TEST(OutgoingFiles, AnOutgoingFileThatIsALinkIsReportedNotSentAndLeftAsItIs) {
    UploadFixture f;
    f.fs.putFile("/elsewhere/prices.csv", "PRC001,a\r\n");
    f.fs.putSymlink(f.path("Prices"), "/elsewhere/prices.csv");
    f.fs.putFile(f.path("Child"), "c1\r\n");
    f.up.sendFiles();
    EXPECT_EQ(f.server.sent, Strings{"1|c1"});
    EXPECT_TRUE(f.fs.isSymlink(f.path("Prices")));
    EXPECT_EQ(f.fs.content("/elsewhere/prices.csv"), "PRC001,a\r\n");
    EXPECT_EQ(f.sinks.where(), Strings{"SendFiles:17"});
    EXPECT_EQ(f.logTexts().back(), "Outgoing file is a symbolic link - not sent, left as it is: /data/Prices.csv");
}

TEST(OutgoingFiles, AFileThatCannotBeDeletedOrCutDownIsNotSentAgainOnlyWhatTheHostAddsGoes) {
    UploadFixture f;
    f.fs.putFile(f.path("Child"), "c1\r\nc2\r\n");
    f.fs.putFile(f.path("Prices"), "PRC001,a\r\nPRC002,b\r\n");
    // The host's permissions let the agent read and append but not delete or create in the folder.
    f.fs.beforeOp = [](Op op, const std::string& p) {
        if ((op == Op::Remove || op == Op::Create) && p.rfind("/data/", 0) == 0) throw platform::errnoError(EACCES, p);
    };
    f.server.rule = [](const std::string& req) { return req == "4|PRC002|0|b" ? say("BAD") : accept(req); };
    f.up.sendFiles();
    EXPECT_EQ(f.server.ledger, (Strings{"1|c1", "1|c2", "4|PRC001|0|a"}));
    EXPECT_EQ(f.sinks.where(), (Strings{"SendFiles:110", "SendFiles:120"}));

    // Fully sent: not sent a second time. Sent in part: the rest goes, then what the host appended.
    f.server.rule = nullptr;
    f.fs.append(f.path("Prices"), "PRC003,c\r\n", true);
    f.up.sendFiles();
    EXPECT_EQ(f.server.ledger, (Strings{"1|c1", "1|c2", "4|PRC001|0|a", "4|PRC002|0|b", "4|PRC003|0|c"}));
    f.up.sendFiles();
    EXPECT_EQ(f.server.ledger.size(), 5u);

    // A file that no longer begins with the noted lines is another file: sent in full, the note forgotten.
    f.fs.beforeOp = nullptr;
    f.fs.remove(f.path("Child"));
    f.fs.putFile(f.path("Child"), "c1\r\nc2\r\n");
    f.up.sendFiles();
    EXPECT_EQ(f.server.ledger.size(), 7u);
    EXPECT_EQ(f.dataFiles(), Strings{});
    EXPECT_EQ(f.fs.list("/state/ostrell"), Strings{});
}
