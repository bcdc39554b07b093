#pragma once
#include <cstdint>
#include <string>

namespace ostrell::sim {

// Made-up records that are valid for the agent but awkward to carry: every field quoted, commas inside
// quotes, doubled quotes, the word "Welcome" in a remark, single bytes above 127 in names. They never
// contain "none" in any letter case (the agent would read it as the end of the records), never begin or
// end with a blank (the agent trims replies) and never hold CR, LF or "|".
std::string bookingRecord(int32_t number);  // 20 fields, the number in field 6
std::string paymentRecord(int32_t number);  // 4 fields, the number in field 2

// Records the agent must reject: one field too few or too many (alternating), otherwise alike.
std::string badBookingRecord(int32_t number);
std::string badPaymentRecord(int32_t number);

}  // namespace ostrell::sim
