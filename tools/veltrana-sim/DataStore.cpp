#include "veltrana-sim/DataStore.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>

#include "veltrana-sim/RecordGenerator.h"

namespace ostrell::sim {

namespace {
// What the agent validates of the reply "10|" + line: from its first double quote on, or the whole reply,
// type digits and all, when it has none.
std::string asValidated(RecordKind kind, const std::string& line) {
    const size_t quote = line.find('"');
    if (quote != std::string::npos) return line.substr(quote);
    return (kind == RecordKind::Booking ? "10|" : "11|") + line;
}
}  // namespace

DataStore::RecordId DataStore::add(RecordKind kind, std::string bk, std::string line) {
    Side& s = side(kind);
    const RecordId id = s.records.size();
    StoredRecord r;
    r.number = recordNumber(asValidated(kind, line), kind == RecordKind::Booking ? BookingShape : PaymentShape);
    r.bk = std::move(bk);
    r.line = std::move(line);
    if (r.number) {
        s.unacknowledgedByNumber[*r.number].push_back(id);
        highestNumber_ = std::max<int64_t>(highestNumber_, *r.number);
    }
    s.queues[r.bk].ids.push_back(id);
    s.records.push_back(std::move(r));
    ++s.pending;
    return id;
}

void DataStore::generate(RecordKind kind, const std::string& bk, size_t count, bool valid) {
    for (size_t i = 0; i < count; ++i) {
        if (highestNumber_ >= std::numeric_limits<int32_t>::max()) return;
        const auto number = static_cast<int32_t>(++highestNumber_);
        std::string line = kind == RecordKind::Booking ? (valid ? bookingRecord(number) : badBookingRecord(number))
                                                       : (valid ? paymentRecord(number) : badPaymentRecord(number));
        add(kind, bk, std::move(line));
    }
}

bool DataStore::loadDirectory(const std::string& dir, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) files.push_back(it->path());
    if (ec) {
        error = "cannot read data directory " + dir + ": " + ec.message();
        return false;
    }
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        const std::string name = path.filename().string();
        RecordKind kind;
        std::string bk;
        const std::string suffix = ".csv";
        if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        if (name.rfind("bookings-", 0) == 0) {
            kind = RecordKind::Booking;
            bk = name.substr(9, name.size() - 9 - suffix.size());
        } else if (name.rfind("payments-", 0) == 0) {
            kind = RecordKind::Payment;
            bk = name.substr(9, name.size() - 9 - suffix.size());
        } else {
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            error = "cannot open " + path.string();
            return false;
        }
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) add(kind, bk, line);
        }
        if (in.bad()) {
            error = "cannot read " + path.string();
            return false;
        }
    }
    return true;
}

std::optional<DataStore::RecordId> DataStore::next(RecordKind kind, std::string_view bk) {
    Side& s = side(kind);
    auto q = s.queues.find(std::string(bk));
    if (q == s.queues.end()) return std::nullopt;
    Queue& queue = q->second;
    while (queue.head < queue.ids.size()) {
        const StoredRecord& r = s.records[queue.ids[queue.head]];
        if (!r.acknowledged && !r.expired) return queue.ids[queue.head];
        ++queue.head;
    }
    return std::nullopt;
}

void DataStore::leaveQueue(Side& s, StoredRecord& r) {
    if (!r.acknowledged && !r.expired) --s.pending;
}

bool DataStore::noteSent(RecordKind kind, RecordId id) {
    Side& s = side(kind);
    StoredRecord& r = s.records[id];
    ++r.timesSent;
    if (expireAfter_ == 0 || r.timesSent < expireAfter_ || r.acknowledged || r.expired) return false;
    leaveQueue(s, r);
    r.expired = true;  // still acknowledgeable: the agent may have stored it already
    return true;
}

std::optional<DataStore::RecordId> DataStore::acknowledge(RecordKind kind, int64_t number,
                                                          std::optional<RecordId> preferred) {
    Side& s = side(kind);
    auto found = s.unacknowledgedByNumber.find(number);
    if (found == s.unacknowledgedByNumber.end()) return std::nullopt;
    auto& ids = found->second;
    auto pick = ids.begin();
    if (preferred) {
        auto p = std::find(ids.begin(), ids.end(), *preferred);
        if (p != ids.end()) pick = p;
    }
    const RecordId id = *pick;
    ids.erase(pick);
    if (ids.empty()) s.unacknowledgedByNumber.erase(found);
    StoredRecord& r = s.records[id];
    leaveQueue(s, r);
    r.acknowledged = true;
    return id;
}

}  // namespace ostrell::sim
