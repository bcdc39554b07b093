// Outgoing files: their lines, each line made a wire record, and the cut-down plan after sending.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "upload/OutFileCutDown.h"
#include "upload/OutLineReading.h"
#include "upload/RecordConversion.h"

using namespace ostrell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int kind = 1 + data[0] % 7;
    const int16_t marker = static_cast<int16_t>(data[1] | (data[2] << 8));
    const uint8_t acceptBits = data[3];
    const std::string file(reinterpret_cast<const char*>(data) + 4, size - 4);

    const std::vector<std::string> lines = upload::readOutLines(file);
    for (const auto& line : lines) {
        FUZZ_CHECK(line.find('\r') == std::string::npos);
        const upload::WireRecord wire = upload::convertRecord(kind, line, marker);
        // One request line: an LF inside would end it early and put the exchange out of step.
        FUZZ_CHECK(wire.text.find('\n') == std::string::npos && wire.text.find('\r') == std::string::npos);
        FUZZ_CHECK(wire.text.compare(0, 2, std::to_string(kind) + "|") == 0);
        FUZZ_CHECK(upload::barSeparated(line).find('"') == std::string::npos);
    }

    // The host appended to the file while it was sent: what it holds now is what was read plus more.
    const size_t cut = size > 4 ? data[size - 1] % (file.size() + 1) : 0;
    const std::string bytesRead = file.substr(0, cut);
    const std::vector<std::string> sent = upload::readOutLines(bytesRead);
    std::vector<bool> accepted(sent.size());
    for (size_t n = 0; n < sent.size(); ++n) accepted[n] = (acceptBits >> (n % 8)) & 1;
    const upload::CutDownPlan plan = upload::planCutDown(bytesRead, sent, accepted, file);
    FUZZ_CHECK(plan.action != upload::CutDownPlan::Action::Replaced);

    // Every line that was not accepted as it was sent stays, in order; the rest go.
    std::vector<std::string> keep;
    for (size_t n = 0; n < lines.size(); ++n)
        if (!(n < sent.size() && accepted[n] && lines[n] == sent[n])) keep.push_back(lines[n]);
    switch (plan.action) {
        case upload::CutDownPlan::Action::Delete: FUZZ_CHECK(keep.empty()); break;
        case upload::CutDownPlan::Action::LeaveAlone: FUZZ_CHECK(keep.size() == lines.size()); break;
        case upload::CutDownPlan::Action::Rewrite: FUZZ_CHECK(upload::readOutLines(plan.content) == keep); break;
        case upload::CutDownPlan::Action::Replaced: break;
    }
    FUZZ_CHECK(plan.removed + keep.size() == lines.size());
    return 0;
}
