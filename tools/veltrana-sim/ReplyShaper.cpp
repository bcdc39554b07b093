#include "veltrana-sim/ReplyShaper.h"

#include <algorithm>

namespace ostrell::sim {

std::string_view lineEnd(const FaultSwitches& f) {
    switch (f.eol) {
        case FaultSwitches::Eol::CrLf: return "\r\n";
        case FaultSwitches::Eol::Lf: return "\n";
        case FaultSwitches::Eol::None: return "";
    }
    return "\r\n";
}

std::string ReplyShaper::garbage(size_t n) {
    std::string bytes;
    bytes.reserve(n);
    while (bytes.size() < n) {
        const auto b = static_cast<char>(random_() & 0xFF);
        if (b != '\r' && b != '\n') bytes += b;
    }
    return bytes;
}

std::vector<Piece> ReplyShaper::pieces(const FaultSwitches& f, const std::string& payload, int firstPauseMs) {
    std::vector<Piece> out;
    if (f.split == 0 || payload.size() <= f.split) {
        out.push_back(Piece{payload, 0, firstPauseMs});
        return out;
    }
    for (size_t at = 0; at < payload.size(); at += f.split)
        out.push_back(Piece{payload.substr(at, f.split), 0, at == 0 ? firstPauseMs : f.splitPauseMs});
    return out;
}

std::vector<Piece> ReplyShaper::reply(const FaultSwitches& f, const LineFate& fate, std::string_view text) {
    const int pause = fate.delayed ? f.delayMs : 0;
    if (fate.endless) return {Piece{{}, f.endlessBytes, pause}};
    const std::string_view eol = lineEnd(f);
    std::string payload;
    if (f.garbage == FaultSwitches::Garbage::Line) payload += garbage(f.garbageBytes) + std::string(eol);
    if (f.garbage == FaultSwitches::Garbage::Prefix) payload += garbage(f.garbageBytes);
    payload += text;
    payload += eol;
    if (f.merge) {
        payload += f.hasMergeText ? std::string_view(f.mergeText) : text;
        payload += eol;
    }
    return pieces(f, payload, pause);
}

std::vector<Piece> ReplyShaper::banner(const FaultSwitches& f) {
    if (!f.hasBanner) return {};
    return pieces(f, f.banner + std::string(lineEnd(f)), 0);
}

}  // namespace ostrell::sim
