#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrell::sim {

// The network faults the server can inject. Each has a name, the same on the command line (with "--")
// and on the admin port ("set NAME VALUE"). Line numbers count the lines a client sent, from 1.
struct FaultSwitches {
    bool hasBanner = false;
    std::string banner;                // banner TEXT: sent on connect, before anything is asked
    int delayMs = 0;                   // delay-ms N: each reply goes out N ms after its request came
    uint64_t delayLine = 0;            // delay-line K: only the reply to line K of a connection (0: all)
    uint64_t noReplyAfter = 0;         // no-reply-after N: lines after the Nth of a connection are ignored
    uint64_t dropAt = 0;               // drop-at N: close the connection on receiving its Nth line
    uint64_t dropAtRun = 0;            // drop-at-run N: the same for the Nth line of the whole run (once)
    bool dropAfterProcessing = false;  // drop-mode after: the dropping line is carried out, not answered
    size_t split = 0;                  // split N: replies go out in pieces of N bytes...
    int splitPauseMs = 20;             // split-pause-ms P: ...P ms apart
    bool merge = false;                // merge: each reply and an extra line leave in one write
    bool hasMergeText = false;
    std::string mergeText;  // merge-text TEXT: the extra line (default: the reply once more)
    enum class Garbage { Off, Prefix, Line } garbage = Garbage::Off;
    size_t garbageBytes = 16;   // garbage: N random bytes, never CR or LF, in front of each reply;
                                // garbage-line: a line of them (ended) before each reply
    uint64_t endlessBytes = 0;  // endless-line N: the reply is N bytes without CR or LF
    uint64_t endlessAt = 0;     // endless-at K: only the reply to line K of a connection (0: all)
    enum class Eol { CrLf, Lf, None } eol = Eol::CrLf;  // no-crlf: LF only; no-eol: nothing
    int quitPauseMs = 0;                                // quit-pause-ms N: wait before closing on "quit"
    bool hasLogonReply = false;
    std::string logonReply;         // logon-reply TEXT: the answer to a good logon (empty: none at all)
    std::string noneText = "NONE";  // none-text TEXT: the end-of-records reply is "10|" or "11|" + TEXT
};

// Sets one switch by name. Flags ("merge", "garbage", "garbage-line", "no-crlf", "no-eol") take no value
// on the command line; on the admin port they take "1" or "0". False with a message for a bad name/value.
bool applyFault(FaultSwitches& f, std::string_view name, std::string_view value, std::string& error);
// Whether a name is a fault switch, and whether it needs a value on the command line.
bool isFaultName(std::string_view name);
bool isFaultFlag(std::string_view name);

// What becomes of one received line, from the switches and the line's numbers.
struct LineFate {
    bool dropBeforeProcessing = false;  // close at once; the line has no effect
    bool dropAfterProcessing = false;   // carry the line out, then close without answering
    bool ignore = false;                // no effect and no answer (no-reply-after)
    bool delayed = false;               // its reply waits delayMs
    bool endless = false;               // its reply is replaced by the endless line
};
LineFate lineFate(const FaultSwitches& f, uint64_t lineOfConnection, uint64_t lineOfRun);

// The protocol's reply to line as the switches reword it: the logon's answer, the end-of-records text.
std::optional<std::string> rewordReply(const FaultSwitches& f, std::string_view line, std::optional<std::string> reply);

}  // namespace ostrell::sim
