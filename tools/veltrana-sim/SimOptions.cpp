#include "veltrana-sim/SimOptions.h"

#include <charconv>

namespace ostrell::sim {

namespace {

template <class T>
bool wholeNumber(std::string_view text, T& out, T max, std::string_view name, std::string& error) {
    T v{};
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || p != text.data() + text.size() || v < 0 || v > max) {
        error = "--" + std::string(name) + ": expected a whole number from 0 to " + std::to_string(max) + ", got '" +
                std::string(text) + "'";
        return false;
    }
    out = v;
    return true;
}

bool isGenerate(std::string_view n) {
    return n == "bookings" || n == "payments" || n == "bad-bookings" || n == "bad-payments";
}
bool isRule(std::string_view n) { return n == "refuse" || n == "bad" || n == "silent" || n == "refuse-text"; }
bool isLiveFlag(std::string_view n) { return n == "clear-rules" || n == "clear-faults" || isFaultFlag(n); }
// "BK:N": the BK number is everything before the last colon, so it may hold colons and blanks.
bool parseGenerate(std::string_view name, std::string_view value, std::string& bk, size_t& count, std::string& error) {
    const auto colon = value.rfind(':');
    if (colon == std::string_view::npos) {
        error = "--" + std::string(name) + ": expected BK:N, got '" + std::string(value) + "'";
        return false;
    }
    bk = std::string(value.substr(0, colon));
    return wholeNumber(value.substr(colon + 1), count, size_t{50'000'000}, name, error);
}

bool isLive(std::string_view n) {
    return isGenerate(n) || isRule(n) || n == "expire-after" || isLiveFlag(n) || isFaultName(n);
}

}  // namespace

bool applyLive(std::string_view name, std::string_view value, DataStore& store, UploadRules& rules,
               FaultSwitches& faults, std::string& error) {
    if (isGenerate(name)) {
        std::string bk;
        size_t count = 0;
        if (!parseGenerate(name, value, bk, count, error)) return false;
        const auto kind = name.find("bookings") != std::string_view::npos ? RecordKind::Booking : RecordKind::Payment;
        store.generate(kind, bk, count, name.rfind("bad-", 0) != 0);
        return true;
    }
    if (name == "refuse") return rules.add(UploadVerdict::Refuse, value, error);
    if (name == "bad") return rules.add(UploadVerdict::Bad, value, error);
    if (name == "silent") return rules.add(UploadVerdict::Silent, value, error);
    if (name == "refuse-text") {
        if (value.empty()) return error = "--refuse-text: the text must not be empty", false;
        rules.addRefuseText(std::string(value));
        return true;
    }
    if (name == "clear-rules") return rules.clear(), true;
    if (name == "clear-faults") return faults = FaultSwitches{}, true;
    if (name == "expire-after") {
        uint32_t sends = 0;
        if (!wholeNumber(value, sends, uint32_t{1'000'000}, name, error)) return false;
        store.setExpireAfter(sends);
        return true;
    }
    return applyFault(faults, name, value, error);
}

bool parseOptions(const std::vector<std::string>& args, SimOptions& out, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) return error = "unexpected argument '" + arg + "'", false;
        std::string name = arg.substr(2);
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1), name.resize(eq), hasValue = true;
        }
        if (name == "help") {
            out.help = true;
            continue;
        }
        const bool flag = isLiveFlag(name) || name == "ledger-quiet" || name == "ledger-nosync";
        if (!flag && !hasValue) {
            if (i + 1 >= args.size()) return error = "--" + name + " needs a value", false;
            value = args[++i];
        }
        if (name == "port") {
            if (!wholeNumber(value, out.port, 65535, name, error)) return false;
        } else if (name == "port-file") {
            out.portFile = value;
        } else if (name == "admin-port") {
            if (!wholeNumber(value, out.adminPort, 65535, name, error)) return false;
        } else if (name == "admin-port-file") {
            out.adminPortFile = value;
        } else if (name == "data") {
            out.dataDirs.push_back(value);
        } else if (name == "ledger") {
            out.ledgerPath = value;
        } else if (name == "ledger-quiet") {
            out.ledgerQuiet = true;
        } else if (name == "ledger-nosync") {
            out.ledgerSync = false;
        } else if (name == "exit-after-idle-ms") {
            if (!wholeNumber(value, out.exitAfterIdleMs, 86'400'000, name, error)) return false;
        } else if (name == "tls-cert") {
            out.tlsCertificate = value;
        } else if (name == "tls-key") {
            out.tlsKey = value;
        } else if (name == "seed") {
            if (!wholeNumber(value, out.seed, UINT64_MAX, name, error)) return false;
        } else if (isLive(name)) {
            // Checked now, so a mistake stops the start rather than a later step.
            std::string bk;
            size_t count = 0;
            DataStore scratchStore;
            UploadRules scratchRules;
            FaultSwitches scratchFaults;
            if (isGenerate(name) ? !parseGenerate(name, value, bk, count, error)
                                 : !applyLive(name, value, scratchStore, scratchRules, scratchFaults, error))
                return false;
            out.live.emplace_back(name, value);
        } else {
            return error = "unknown option --" + name, false;
        }
    }
    if (out.tlsCertificate.empty() != out.tlsKey.empty()) return error = "--tls-cert and --tls-key go together", false;
    return true;
}

std::string usageText() {
    return R"(veltrana-sim: a Veltrana test server on 127.0.0.1 (see tools/veltrana-sim/README.md)

Start:   --port N  --port-file F  --admin-port N  --admin-port-file F  --seed N
         --exit-after-idle-ms N  --tls-cert FILE --tls-key FILE  --help
Data:    --data DIR  --bookings BK:N  --payments BK:N  --bad-bookings BK:N  --bad-payments BK:N
         --expire-after N
Uploads: --refuse KIND:WHICH  --bad KIND:WHICH  --silent KIND:WHICH  --refuse-text TEXT
         (KIND 1..7 or *, WHICH N, N-M, N+ or all)
Ledger:  --ledger FILE  --ledger-quiet  --ledger-nosync
Faults:  --banner TEXT  --delay-ms N  --delay-line K  --no-reply-after N  --drop-at N  --drop-at-run N
         --drop-mode before|after  --split N  --split-pause-ms N  --merge  --merge-text TEXT
         --garbage  --garbage-line  --garbage-bytes N  --endless-line N  --endless-at K
         --no-crlf  --no-eol  --quit-pause-ms N
)";
}

}  // namespace ostrell::sim
