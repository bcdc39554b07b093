#include "veltrana-sim/FaultSwitches.h"

#include "veltrana-sim/ProtocolCore.h"

#include <array>
#include <charconv>
#include <limits>

namespace ostrell::sim {

namespace {

constexpr std::array<std::string_view, 5> Flags{"merge", "garbage", "garbage-line", "no-crlf", "no-eol"};
constexpr std::array<std::string_view, 16> Valued{"banner",         "delay-ms",      "delay-line",    "no-reply-after",
                                                  "drop-at",        "drop-at-run",   "drop-mode",     "split",
                                                  "split-pause-ms", "merge-text",    "garbage-bytes", "endless-line",
                                                  "endless-at",     "quit-pause-ms", "logon-reply",   "none-text"};

template <class T>
bool number(std::string_view text, T& out, std::string& error, std::string_view name) {
    T v{};
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || p != text.data() + text.size() || v < 0) {
        error = std::string(name) + ": expected a whole number >= 0, got '" + std::string(text) + "'";
        return false;
    }
    out = v;
    return true;
}

bool flag(std::string_view text, bool& out, std::string& error, std::string_view name) {
    if (text.empty() || text == "1" || text == "on") return out = true, true;
    if (text == "0" || text == "off") return out = false, true;
    error = std::string(name) + ": expected 1 or 0, got '" + std::string(text) + "'";
    return false;
}

}  // namespace

bool isFaultFlag(std::string_view name) {
    for (auto f : Flags)
        if (f == name) return true;
    return name == "no-banner";
}

bool isFaultName(std::string_view name) {
    if (isFaultFlag(name)) return true;
    for (auto v : Valued)
        if (v == name) return true;
    return false;
}

bool applyFault(FaultSwitches& f, std::string_view name, std::string_view value, std::string& error) {
    bool on = false;
    if (name == "banner") return f.hasBanner = true, f.banner = std::string(value), true;
    if (name == "no-banner") return f.hasBanner = false, f.banner.clear(), true;
    if (name == "delay-ms") return number(value, f.delayMs, error, name);
    if (name == "delay-line") return number(value, f.delayLine, error, name);
    if (name == "no-reply-after") return number(value, f.noReplyAfter, error, name);
    if (name == "drop-at") return number(value, f.dropAt, error, name);
    if (name == "drop-at-run") return number(value, f.dropAtRun, error, name);
    if (name == "drop-mode") {
        if (value == "before" || value == "after") return f.dropAfterProcessing = value == "after", true;
        error = "drop-mode: expected before or after";
        return false;
    }
    if (name == "split") return number(value, f.split, error, name);
    if (name == "split-pause-ms") return number(value, f.splitPauseMs, error, name);
    if (name == "merge") return flag(value, f.merge, error, name);
    if (name == "merge-text") return f.hasMergeText = true, f.mergeText = std::string(value), true;
    if (name == "garbage" || name == "garbage-line") {
        if (!flag(value, on, error, name)) return false;
        const auto mode = name == "garbage" ? FaultSwitches::Garbage::Prefix : FaultSwitches::Garbage::Line;
        if (on) f.garbage = mode;
        else if (f.garbage == mode) f.garbage = FaultSwitches::Garbage::Off;
        return true;
    }
    if (name == "garbage-bytes") return number(value, f.garbageBytes, error, name);
    if (name == "endless-line") return number(value, f.endlessBytes, error, name);
    if (name == "endless-at") return number(value, f.endlessAt, error, name);
    if (name == "no-crlf" || name == "no-eol") {
        if (!flag(value, on, error, name)) return false;
        const auto mode = name == "no-crlf" ? FaultSwitches::Eol::Lf : FaultSwitches::Eol::None;
        if (on) f.eol = mode;
        else if (f.eol == mode) f.eol = FaultSwitches::Eol::CrLf;
        return true;
    }
    if (name == "quit-pause-ms") return number(value, f.quitPauseMs, error, name);
    if (name == "logon-reply") return f.hasLogonReply = true, f.logonReply = std::string(value), true;
    if (name == "none-text") return f.noneText = std::string(value), true;
    error = "unknown fault switch '" + std::string(name) + "'";
    return false;
}

LineFate lineFate(const FaultSwitches& f, uint64_t lineOfConnection, uint64_t lineOfRun) {
    LineFate fate;
    const bool drop = (f.dropAt && lineOfConnection == f.dropAt) || (f.dropAtRun && lineOfRun == f.dropAtRun);
    if (drop) {
        fate.dropBeforeProcessing = !f.dropAfterProcessing;
        fate.dropAfterProcessing = f.dropAfterProcessing;
        return fate;
    }
    if (f.noReplyAfter && lineOfConnection > f.noReplyAfter) {
        fate.ignore = true;
        return fate;
    }
    fate.delayed = f.delayMs > 0 && (f.delayLine == 0 || f.delayLine == lineOfConnection);
    fate.endless = f.endlessBytes > 0 && (f.endlessAt == 0 || f.endlessAt == lineOfConnection);
    return fate;
}

}  // namespace ostrell::sim

namespace ostrell::sim {

std::optional<std::string> rewordReply(const FaultSwitches& f, std::string_view line,
                                       std::optional<std::string> reply) {
    if (!reply) return reply;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (f.hasLogonReply && line == ProtocolCore::Logon) {
        if (f.logonReply.empty()) return std::nullopt;
        return f.logonReply;
    }
    if (*reply == "10|NONE" || *reply == "11|NONE") return reply->substr(0, 3) + f.noneText;
    return reply;
}

}  // namespace ostrell::sim
