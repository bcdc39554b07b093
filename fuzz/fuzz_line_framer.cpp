// The receive side's framing of the server's byte stream, fed in arrivals of any size.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "net/LineFramer.h"
#include "net/ReplyCleanup.h"

using namespace ostrell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t limit = 1 + data[0] % 64;  // a small limit, so the fuzzer reaches it
    const uint8_t arrivalSeed = data[1];
    const std::string_view stream(reinterpret_cast<const char*>(data) + 2, size - 2);

    net::LineFramer framer(limit);
    std::string delivered;
    bool tooLong = false;
    size_t at = 0;
    size_t step = 1 + arrivalSeed % 17;
    while (at < stream.size() && !tooLong) {
        const std::string_view arrival = stream.substr(at, step);
        at += arrival.size();
        step = 1 + (step * 7 + arrivalSeed) % 23;
        const auto result = framer.feed(arrival, [&](const std::string& line) {
            FUZZ_CHECK(!line.empty() && line.back() == '\n');
            FUZZ_CHECK(line.find('\n') == line.size() - 1);
            FUZZ_CHECK(line.size() <= limit + 1);
            const net::CleanedLine cleaned = net::cleanLine(line, arrivalSeed & 1);
            FUZZ_CHECK(cleaned.text.find('\n') == std::string::npos);
            delivered += line;
        });
        if (result == net::LineFramer::Result::LineTooLong) {
            tooLong = true;
            FUZZ_CHECK(!framer.hasPartial());
        }
    }
    if (!tooLong) {
        const std::string partial = framer.takePartial();
        FUZZ_CHECK(partial.find('\n') == std::string::npos && partial.size() <= limit);
        // Nothing lost, nothing added, nothing out of order.
        FUZZ_CHECK(delivered + partial == stream);
        FUZZ_CHECK(!framer.hasPartial());
    }
    return 0;
}
