#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

#include "veltrana-sim/DataStore.h"
#include "veltrana-sim/RecordGenerator.h"

using namespace ostrell::sim;

namespace {
std::string payment(int n) { return "\"P\",\"" + std::to_string(n) + "\",\"1.00\",\"x\""; }

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        path = std::filesystem::temp_directory_path() /
               ("sim-store-" + std::to_string(::getpid()) + "-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
    }
};
}  // namespace

TEST(SimDataStore, OldestUnacknowledgedRecordIsResentUntilAcknowledged) {
    DataStore store;
    store.add(RecordKind::Payment, "12", payment(5));
    store.add(RecordKind::Payment, "12", payment(6));
    store.add(RecordKind::Payment, "34", payment(7));

    auto first = store.next(RecordKind::Payment, "12");
    ASSERT_TRUE(first);
    EXPECT_EQ(store.record(RecordKind::Payment, *first).line, payment(5));
    EXPECT_EQ(store.next(RecordKind::Payment, "12"), first);  // not acknowledged: the same again

    // The BK number is compared exactly: blanks around it make another queue.
    EXPECT_FALSE(store.next(RecordKind::Payment, " 12"));
    EXPECT_FALSE(store.next(RecordKind::Booking, "12"));

    EXPECT_FALSE(store.acknowledge(RecordKind::Payment, 99, std::nullopt));  // unknown number
    EXPECT_FALSE(store.acknowledge(RecordKind::Booking, 5, std::nullopt));   // a payment, not a booking
    EXPECT_EQ(store.acknowledge(RecordKind::Payment, 5, first), first);
    EXPECT_FALSE(store.acknowledge(RecordKind::Payment, 5, first));          // once only
    EXPECT_EQ(store.record(RecordKind::Payment, *store.next(RecordKind::Payment, "12")).line, payment(6));
    EXPECT_EQ(store.pending(RecordKind::Payment), 2u);

    // Acknowledging a record further back (by number) takes it out of its queue as well.
    store.acknowledge(RecordKind::Payment, 7, std::nullopt);
    EXPECT_FALSE(store.next(RecordKind::Payment, "34"));
}

TEST(SimDataStore, SameNumberTwiceAcknowledgesTheRecordLastSentOnTheConnection) {
    DataStore store;
    const auto a = store.add(RecordKind::Payment, "1", payment(8));
    const auto b = store.add(RecordKind::Payment, "2", payment(8));
    EXPECT_EQ(store.acknowledge(RecordKind::Payment, 8, b), b);
    EXPECT_TRUE(store.next(RecordKind::Payment, "1"));
    EXPECT_EQ(store.acknowledge(RecordKind::Payment, 8, std::nullopt), a);
}

TEST(SimDataStore, RecordsTheAgentMustRejectBlockTheirQueueUnlessTheyExpire) {
    DataStore store;
    store.generate(RecordKind::Booking, "B", 1, false);
    store.generate(RecordKind::Booking, "B", 1, true);
    const auto bad = *store.next(RecordKind::Booking, "B");
    EXPECT_FALSE(store.record(RecordKind::Booking, bad).number);
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(store.noteSent(RecordKind::Booking, bad));
    EXPECT_EQ(store.next(RecordKind::Booking, "B"), bad);

    DataStore expiring;
    expiring.setExpireAfter(3);
    expiring.generate(RecordKind::Booking, "B", 1, false);
    expiring.generate(RecordKind::Booking, "B", 1, true);
    const auto head = *expiring.next(RecordKind::Booking, "B");
    EXPECT_FALSE(expiring.noteSent(RecordKind::Booking, head));
    EXPECT_FALSE(expiring.noteSent(RecordKind::Booking, head));
    EXPECT_TRUE(expiring.noteSent(RecordKind::Booking, head));
    const auto good = expiring.next(RecordKind::Booking, "B");
    ASSERT_TRUE(good);
    EXPECT_NE(*good, head);
    EXPECT_EQ(expiring.pending(RecordKind::Booking), 1u);
}

TEST(SimDataStore, LoadsADirectoryAndNumbersMadeUpRecordsAfterIt) {
    TempDir dir;
    dir.write("bookings-77.csv", bookingRecord(500) + "\r\n\r\n" + bookingRecord(501) + "\n");
    dir.write("payments- 8 .csv", payment(3) + "\n" + payment(4));  // no final line end
    dir.write("notes.txt", "ignored");
    DataStore store;
    std::string error;
    ASSERT_TRUE(store.loadDirectory(dir.path.string(), error)) << error;
    EXPECT_EQ(store.size(RecordKind::Booking), 2u);  // the empty line is skipped
    EXPECT_EQ(store.record(RecordKind::Booking, *store.next(RecordKind::Booking, "77")).line, bookingRecord(500));
    EXPECT_EQ(store.size(RecordKind::Payment), 2u);
    EXPECT_TRUE(store.next(RecordKind::Payment, " 8 "));

    store.generate(RecordKind::Booking, "77", 3, true);
    store.generate(RecordKind::Payment, "77", 3, true);
    std::set<int32_t> numbers;
    for (auto kind : {RecordKind::Booking, RecordKind::Payment})
        for (size_t id = 0; id < store.size(kind); ++id) numbers.insert(*store.record(kind, id).number);
    EXPECT_EQ(numbers.size(), 10u);
    EXPECT_EQ(*numbers.rbegin(), 507);

    DataStore missing;
    EXPECT_FALSE(missing.loadDirectory((dir.path / "nope").string(), error));
    EXPECT_NE(error.find("nope"), std::string::npos);
}

TEST(SimDataStore, AHundredThousandRecordsGoThroughWithoutScanning) {
    // Each request and acknowledgement is a hash look-up: done quadratically this would take minutes.
    DataStore store;
    store.generate(RecordKind::Booking, "1", 100'000, true);
    size_t delivered = 0;
    while (auto id = store.next(RecordKind::Booking, "1")) {
        store.noteSent(RecordKind::Booking, *id);
        ASSERT_TRUE(store.acknowledge(RecordKind::Booking, *store.record(RecordKind::Booking, *id).number, id));
        ++delivered;
        ASSERT_LE(delivered, 100'000u);
    }
    EXPECT_EQ(delivered, 100'000u);
    EXPECT_EQ(store.pending(RecordKind::Booking), 0u);
}
