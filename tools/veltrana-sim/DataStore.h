#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "veltrana-sim/RecordFields.h"

namespace ostrell::sim {

enum class RecordKind { Booking, Payment };

struct StoredRecord {
    std::string bk;                 // the BK number it belongs to, exactly as requested
    std::string line;               // the record line as sent after "10|" or "11|"
    std::optional<int32_t> number;  // what the agent acknowledges it with; none when the agent rejects it
    uint32_t timesSent = 0;
    bool acknowledged = false;
    bool expired = false;  // taken off its queue after too many sends without acknowledgement
};

// Queues of bookings and payments per BK number. The oldest unacknowledged record of a queue is sent
// on every request until it is acknowledged. Requests, sends and acknowledgements cost O(1) on average
// whatever the size of the store: queues skip acknowledged records lazily, numbers are hashed.
class DataStore {
public:
    using RecordId = size_t;

    // 0: a record stays until acknowledged; N: a record sent N times unacknowledged leaves its queue
    // (lets a test put valid records behind ones the agent will never acknowledge).
    void setExpireAfter(uint32_t sends) { expireAfter_ = sends; }

    RecordId add(RecordKind kind, std::string bk, std::string line);

    // N valid (or invalid) made-up records with numbers not used so far anywhere in the store.
    void generate(RecordKind kind, const std::string& bk, size_t count, bool valid);

    // Files "bookings-<BK>.csv" and "payments-<BK>.csv" of a directory, one record per line (CR LF or
    // LF), empty lines skipped, files taken in name order. False with a message when it cannot be read.
    bool loadDirectory(const std::string& dir, std::string& error);

    // The record to send for a request, or nothing when the queue is empty or unknown.
    std::optional<RecordId> next(RecordKind kind, std::string_view bk);
    // Counts one send; true when that send used up the record's allowance and it left its queue.
    bool noteSent(RecordKind kind, RecordId id);

    // Acknowledges the unacknowledged record with this number: `preferred` (the record last sent on the
    // connection) when its number matches, else the oldest one with that number. Nothing when none is.
    std::optional<RecordId> acknowledge(RecordKind kind, int64_t number, std::optional<RecordId> preferred);

    const StoredRecord& record(RecordKind kind, RecordId id) const { return side(kind).records[id]; }
    size_t size(RecordKind kind) const { return side(kind).records.size(); }
    size_t pending(RecordKind kind) const { return side(kind).pending; }

private:
    struct Queue {
        std::vector<RecordId> ids;
        size_t head = 0;
    };
    struct Side {
        std::vector<StoredRecord> records;
        std::unordered_map<std::string, Queue> queues;
        std::unordered_map<int64_t, std::vector<RecordId>> unacknowledgedByNumber;
        size_t pending = 0;  // neither acknowledged nor expired
    };
    Side& side(RecordKind kind) { return kind == RecordKind::Booking ? bookings_ : payments_; }
    const Side& side(RecordKind kind) const { return kind == RecordKind::Booking ? bookings_ : payments_; }
    void leaveQueue(Side& s, StoredRecord& r);

    Side bookings_;
    Side payments_;
    uint32_t expireAfter_ = 0;
    int64_t highestNumber_ = 0;
};

}  // namespace ostrell::sim
