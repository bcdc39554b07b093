#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrell::sim {

// The server's own reading of a record line, the way the agent counts fields: commas inside double
// quotes belong to their field, the quotes themselves are dropped, and the other commas and any "|"
// separate fields. A single separator at the very end closes the last field instead of opening one.
// Kept independent of the agent's code on purpose: the server is the agent's yardstick.
std::vector<std::string> recordFields(std::string_view line);

// Shape of a record of one kind: how many fields, and which one (from 1) holds its number.
struct RecordShape {
    size_t fields;
    size_t numberField;
};
inline constexpr RecordShape BookingShape{20, 6};
inline constexpr RecordShape PaymentShape{4, 2};

// The number the agent sends back when it accepts the record, or nothing when it must reject it
// (wrong field count, or a number outside the 32-bit range). A number field that does not read as a
// number gives 0; a fraction is rounded to the nearest whole number, an exact half to the even one.
std::optional<int32_t> recordNumber(std::string_view line, RecordShape shape);

}  // namespace ostrell::sim
