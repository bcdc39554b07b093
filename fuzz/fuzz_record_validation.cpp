// Record validation (Valid8, Valid9) and the field splitter, with whatever a record reply may hold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "download/RecordValidation.h"
#include "download/SplitFields.h"
#include "errors/ErrorReporter.h"
#include "fakes/RecordingErrorSink.h"

using namespace ostrell;

namespace {
std::string joined(const std::vector<std::string>& fields, const std::string& separator) {
    std::string out;
    for (size_t i = 1; i < fields.size(); ++i) {
        if (i > 1) out += separator;
        out += fields[i];
    }
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the separator's length (0 to 3), the next bytes are the separator.
    size_t sepLength = size > 0 ? data[0] % 4 : 0;
    if (size < 1 + sepLength) sepLength = 0;
    const std::string separator(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0), sepLength);
    const size_t start = size > 0 ? 1 + sepLength : 0;
    const std::string text(reinterpret_cast<const char*>(data) + start, size - start);

    const auto fields = download::splitFields(text, separator);
    FUZZ_CHECK(!fields.empty() && fields[0].empty());
    FUZZ_CHECK(fields.size() >= 2);
    if (separator.empty()) {
        FUZZ_CHECK(fields.size() == 2 && fields[1] == text);
    } else {
        for (size_t i = 1; i < fields.size(); ++i) FUZZ_CHECK(fields[i].find(separator) == std::string::npos);
        // With the one-character separator the records use, the fields put back together give the text,
        // but for one separator that closed the last field. (A longer separator may drop a tail that
        // only begins it, as the splitter is defined to.)
        const std::string back = joined(fields, separator);
        if (separator.size() == 1) FUZZ_CHECK(back == text || back + separator == text);
    }

    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter reporter(sinks, terminator);
    const size_t count = download::validationFields(text).size() - 1;
    for (const bool booking : {true, false}) {
        int32_t recordNo = -12345;
        const bool ok = booking ? download::validateBooking(text, recordNo, reporter)
                                : download::validatePayment(text, recordNo, reporter);
        const size_t required = booking ? download::BookingRule.fieldsRequired : download::PaymentRule.fieldsRequired;
        if (ok) FUZZ_CHECK(count == required);
        if (!ok) FUZZ_CHECK(recordNo == -12345);
        if (count != required) FUZZ_CHECK(!ok);
    }
    return 0;
}
