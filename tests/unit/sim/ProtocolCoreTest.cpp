#include <gtest/gtest.h>

#include "SimTempFile.h"
#include "veltrana-sim/LedgerFormat.h"
#include "veltrana-sim/ProtocolCore.h"
#include "veltrana-sim/RecordGenerator.h"

using namespace ostrell::sim;

namespace {
struct Server {
    SimTempFile file{"core-ledger"};
    DataStore store;
    UploadRules rules;
    Ledger ledger;
    ProtocolCore core{store, rules, ledger};
    Session session;
    Server() {
        std::string error;
        EXPECT_TRUE(ledger.open(file.path, false, error)) << error;
        session.id = 1;
    }
    // The reply, or "<none>" for no answer.
    std::string say(std::string_view line) {
        const auto out = core.handle(session, line);
        return out.reply ? *out.reply : "<none>";
    }
    std::vector<LedgerEntry> outcomes(const std::string& event) {
        std::vector<LedgerEntry> found;
        for (auto& e : readLedgerFile(file.path))
            if (e.event == event) found.push_back(e);
        return found;
    }
};
}  // namespace

TEST(SimProtocol, NothingButTheLogonAndQuitIsAnsweredBeforeLogon) {
    Server s;
    s.store.generate(RecordKind::Booking, "12", 1, true);
    EXPECT_EQ(s.say("10|12"), "BAD");
    EXPECT_EQ(s.say("4|x"), "BAD");
    EXPECT_EQ(s.say("tolvane|QHT515"), "Logon FAILED");
    EXPECT_EQ(s.say("10|12"), "BAD");
    EXPECT_EQ(s.say("tolvane|QHT514\r"), "Logon success");  // a CR before the LF is tolerated
    EXPECT_EQ(s.say("hello"), "BAD");
    EXPECT_EQ(s.say("9|x"), "BAD");
    EXPECT_EQ(s.say(""), "BAD");
    EXPECT_EQ(s.store.pending(RecordKind::Booking), 1u);  // nothing was handed out before the logon

    Server q;
    const auto out = q.core.handle(q.session, "quit");
    EXPECT_TRUE(out.close);
    EXPECT_FALSE(out.reply);
}

TEST(SimProtocol, DownloadResendsUntilAcknowledgedAndLedgersEachAcknowledgedRecord) {
    Server s;
    s.store.generate(RecordKind::Booking, "12", 2, true);
    s.store.generate(RecordKind::Payment, "12", 1, true);
    s.say("tolvane|QHT514");

    const std::string first = "10|" + bookingRecord(1);
    EXPECT_EQ(s.say("10|12"), first);
    EXPECT_EQ(s.say("10|12"), first);  // not acknowledged: sent again
    EXPECT_EQ(s.say("10|12 "), "10|NONE");  // exact BK number
    EXPECT_EQ(s.say("12|1"), "12|OK");
    EXPECT_EQ(s.say("10|12"), "10|" + bookingRecord(2));
    EXPECT_EQ(s.say("12|2"), "12|OK");
    EXPECT_EQ(s.say("10|12"), "10|NONE");
    EXPECT_EQ(s.say("12|2"), "12|OK");     // a repeated acknowledgement is answered alike
    EXPECT_EQ(s.say("12|abc"), "12|OK");
    EXPECT_EQ(s.say("11|12"), "11|" + paymentRecord(3));
    EXPECT_EQ(s.say("12|3"), "12|OK");     // a payment number acknowledged as a booking: unknown
    EXPECT_EQ(s.say("11|12"), "11|" + paymentRecord(3));
    EXPECT_EQ(s.say("13|3"), "13|OK");
    EXPECT_EQ(s.say("11|12"), "11|NONE");

    const auto acks = s.outcomes("ACK12");
    ASSERT_EQ(acks.size(), 2u);
    EXPECT_EQ(acks[0].fields, (std::vector<std::string>{"1", "1", "12", bookingRecord(1)}));
    EXPECT_EQ(acks[1].fields[3], bookingRecord(2));
    const auto unknown = s.outcomes("ACK12-UNKNOWN");
    ASSERT_EQ(unknown.size(), 3u);
    EXPECT_EQ(unknown[1].fields[1], "abc");
    const auto payments = s.outcomes("ACK13");
    ASSERT_EQ(payments.size(), 1u);
    EXPECT_EQ(payments[0].fields[3], paymentRecord(3));
}

TEST(SimProtocol, UploadRecordsGetTheVerdictOfTheirKindAndAcceptedOnesAreLedgered) {
    Server s;
    std::string error;
    ASSERT_TRUE(s.rules.add(UploadVerdict::Refuse, "4:1", error));
    ASSERT_TRUE(s.rules.add(UploadVerdict::Bad, "6:1", error));
    ASSERT_TRUE(s.rules.add(UploadVerdict::Silent, "7:1", error));
    s.say("tolvane|QHT514");
    EXPECT_EQ(s.say("4|PRC017|0|Room 1, sea view|350| "), "4|FAILED");
    EXPECT_EQ(s.say("4|PRC017|0|Room 1, sea view|350| "), "4|SUCCESS");
    EXPECT_EQ(s.say("6|B1| |x"), "BAD");
    EXPECT_EQ(s.say("7|R1"), "<none>");
    EXPECT_EQ(s.say("1|"), "1|SUCCESS");
    const auto accepted = s.outcomes("ACCEPT");
    ASSERT_EQ(accepted.size(), 2u);
    EXPECT_EQ(accepted[0].fields, (std::vector<std::string>{"1", "4", "4|PRC017|0|Room 1, sea view|350| "}));
    EXPECT_EQ(accepted[1].fields[2], "1|");
    EXPECT_EQ(s.outcomes("REFUSE").size(), 1u);
    EXPECT_EQ(s.outcomes("ANSWERBAD").size(), 1u);
    EXPECT_EQ(s.outcomes("SILENT").size(), 1u);
}

TEST(SimProtocol, TheTransportTracesAreLedgeredInOrder) {
    Server s;
    s.core.opened(s.session);
    s.core.received(s.session, "tolvane|QHT514");
    s.say("tolvane|QHT514");
    s.core.received(s.session, std::string("10|\x01\t", 5));
    s.core.closed(s.session, "drop");
    const auto all = readLedgerFile(s.file.path);
    std::vector<std::string> events;
    for (const auto& e : all) events.push_back(e.event);
    EXPECT_EQ(events, (std::vector<std::string>{"OPEN", "RECV", "LOGON", "RECV", "CLOSE"}));
    EXPECT_EQ(all[3].fields[1], std::string("10|\x01\t", 5));
}
