// The libFuzzer targets: each binary is this file built with OSTRELL_FUZZ_TARGET naming the property,
// below, that no input may break.
#include <cstdio>
#include <cstdlib>

#include "net/LineFramer.h"
#include "upload/OutFileLines.h"
#include "upload/RecordConversion.h"

using namespace ostrell;

// A broken property makes the input a finding: abort, and the fuzzer keeps it.
#define CHECK(c) ((c) ? void() : (std::fprintf(stderr, "property failed: %s, line %d\n", #c, __LINE__), std::abort()))

namespace {

uint8_t byte(std::string_view in, size_t at) { return at < in.size() ? static_cast<uint8_t>(in[at]) : 0; }

// The server's byte stream in arrivals of any size: lines no longer than the limit, nothing lost,
// added or reordered.
[[maybe_unused]] void lineFramer(std::string_view in) {
    const size_t limit = 1 + byte(in, 0) % 64;  // small, so that the fuzzer reaches it
    const std::string_view stream = in.substr(std::min<size_t>(2, in.size()));
    net::LineFramer framer(limit);
    std::string delivered;
    for (size_t at = 0, step = 1 + byte(in, 1) % 17; at < stream.size(); at += step, step = 1 + (step * 7 + at) % 23) {
        const auto result = framer.feed(stream.substr(at, step), [&](const std::string& line) {
            CHECK(!line.empty() && line.find('\n') == line.size() - 1 && line.size() <= limit + 1);
            delivered += line;
        });
        if (result == net::LineFramer::Result::LineTooLong) return CHECK(!framer.hasPartial());
    }
    const std::string partial = framer.takePartial();
    CHECK(partial.size() <= limit && delivered + partial == stream);
}

// An outgoing file: each line one wire line of its kind; after sending (the host may have appended
// meanwhile) every line not accepted as it was sent stays, in order, and the rest go.
[[maybe_unused]] void recordConversion(std::string_view in) {
    const upload::OutKind kind = upload::OutKinds.at(byte(in, 0) % 7);
    const std::string file(in.substr(std::min<size_t>(3, in.size())));
    const auto lines = upload::readOutLines(file);
    for (const auto& line : lines) {
        const std::string wire = upload::convertRecord(kind, line, static_cast<int16_t>(byte(in, 1) % 2)).text;
        CHECK(wire.find_first_of("\r\n") == std::string::npos &&
              wire.starts_with(std::to_string(upload::wireDigit(kind)) + "|"));
    }
    const std::string bytesRead = file.substr(0, byte(in, in.size() - 1) % (file.size() + 1));
    const auto sent = upload::readOutLines(bytesRead);
    std::vector<bool> accepted(sent.size());
    std::vector<std::string> keep;
    for (size_t n = 0; n < sent.size(); ++n) accepted[n] = (byte(in, 2) >> (n % 8)) & 1;
    for (size_t n = 0; n < lines.size(); ++n)
        if (!(n < sent.size() && accepted[n] && lines[n] == sent[n])) keep.push_back(lines[n]);
    const upload::CutDownPlan plan = upload::planCutDown(bytesRead, sent, accepted, file);
    using A = upload::CutDownPlan::Action;
    CHECK(plan.action != A::Replaced && plan.removed + keep.size() == lines.size());
    CHECK(plan.action == A::Delete       ? keep.empty()
          : plan.action == A::LeaveAlone ? keep.size() == lines.size()
                                         : upload::readOutLines(plan.content) == keep);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    OSTRELL_FUZZ_TARGET(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
