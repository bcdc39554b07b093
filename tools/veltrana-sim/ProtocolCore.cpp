#include "veltrana-sim/ProtocolCore.h"

#include <charconv>

namespace ostrell::sim {

namespace {

std::string conn(const Session& s) { return std::to_string(s.id); }

std::string_view requestPrefix(RecordKind kind) { return kind == RecordKind::Booking ? "10|" : "11|"; }

std::optional<int64_t> wholeNumber(std::string_view text) {
    int64_t v = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
    return v;
}

}  // namespace

void ProtocolCore::opened(const Session& s) { ledger_.trace("OPEN", {conn(s)}); }

void ProtocolCore::closed(const Session& s, std::string_view reason) { ledger_.trace("CLOSE", {conn(s), reason}); }

void ProtocolCore::faultFired(const Session& s, std::string_view fault) { ledger_.outcome("FAULT", {conn(s), fault}); }

void ProtocolCore::received(const Session& s, std::string_view line) { ledger_.trace("RECV", {conn(s), line}); }

Outcome ProtocolCore::handle(Session& s, std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line == "quit") {
        ledger_.trace("QUIT", {conn(s)});
        return Outcome{std::nullopt, true};
    }
    if (line == Logon) {
        s.loggedOn = true;
        ledger_.trace("LOGON", {conn(s), "OK"});
        return Outcome{"Logon success", false};
    }
    if (line.rfind("tolvane|", 0) == 0) {
        ledger_.trace("LOGON", {conn(s), "FAILED"});
        return Outcome{"Logon FAILED", false};
    }
    if (s.loggedOn) {
        if (line.rfind("10|", 0) == 0) return request(s, RecordKind::Booking, line.substr(3));
        if (line.rfind("11|", 0) == 0) return request(s, RecordKind::Payment, line.substr(3));
        if (line.rfind("12|", 0) == 0) return acknowledge(s, RecordKind::Booking, line.substr(3));
        if (line.rfind("13|", 0) == 0) return acknowledge(s, RecordKind::Payment, line.substr(3));
        if (line.size() >= 2 && line[0] >= '1' && line[0] <= '7' && line[1] == '|')
            return upload(s, line[0] - '0', line);
    }
    ledger_.trace("BAD", {conn(s), line});
    return Outcome{"BAD", false};
}

Outcome ProtocolCore::upload(Session& s, int kind, std::string_view line) {
    const UploadVerdict verdict = rules_.judge(kind, line);
    const std::string kindText = std::to_string(kind);
    ledger_.outcome(verdictName(verdict), {conn(s), kindText, line});
    switch (verdict) {
        case UploadVerdict::Accept: return Outcome{kindText + "|SUCCESS", false};
        case UploadVerdict::Refuse: return Outcome{kindText + "|FAILED", false};
        case UploadVerdict::Bad: return Outcome{"BAD", false};
        case UploadVerdict::Silent: return Outcome{std::nullopt, false};
    }
    return Outcome{"BAD", false};
}

Outcome ProtocolCore::request(Session& s, RecordKind kind, std::string_view bk) {
    const std::string prefix(requestPrefix(kind));
    auto& last = kind == RecordKind::Booking ? s.lastBooking : s.lastPayment;
    const auto id = store_.next(kind, bk);
    if (!id) {
        ledger_.trace(kind == RecordKind::Booking ? "NONE10" : "NONE11", {conn(s), bk});
        return Outcome{prefix + "NONE", false};
    }
    last = *id;
    const StoredRecord& r = store_.record(kind, *id);
    const std::string number = r.number ? std::to_string(*r.number) : "-";
    ledger_.trace(kind == RecordKind::Booking ? "SEND10" : "SEND11", {conn(s), number, r.bk, r.line});
    Outcome out{prefix + r.line, false};
    if (store_.noteSent(kind, *id))
        ledger_.outcome(kind == RecordKind::Booking ? "EXPIRE10" : "EXPIRE11", {number, r.bk, r.line});
    return out;
}

Outcome ProtocolCore::acknowledge(Session& s, RecordKind kind, std::string_view numberText) {
    const bool booking = kind == RecordKind::Booking;
    const auto& last = booking ? s.lastBooking : s.lastPayment;
    std::optional<DataStore::RecordId> id;
    if (const auto number = wholeNumber(numberText)) id = store_.acknowledge(kind, *number, last);
    if (id) {
        const StoredRecord& r = store_.record(kind, *id);
        ledger_.outcome(booking ? "ACK12" : "ACK13", {conn(s), std::to_string(*r.number), r.bk, r.line});
    } else {
        // Idempotent: a repeated or unknown acknowledgement is answered alike, and noted.
        ledger_.outcome(booking ? "ACK12-UNKNOWN" : "ACK13-UNKNOWN", {conn(s), numberText});
    }
    return Outcome{booking ? "12|OK" : "13|OK", false};
}

}  // namespace ostrell::sim
