#pragma once
#include <optional>
#include <string>

namespace ostrell::app {

inline constexpr const char* VersionGateTitle = "Ostrell";
inline constexpr const char* VersionGateText =
    "This ostrell can only run with Brannick version 2.3.119 or higher\r\n\r\nWill now terminate.";

// Compares two version texts part by part from the left as whole numbers; the first part that differs
// decides. Missing parts count as 0 ("2.3" is 2.3.0); parts may be of any length ("2.3.119.5" is above
// 2.3.119, a part of 30 digits is simply large). Nothing when either text has a part that is not made of
// digits (blanks around a part allowed): an empty text, "x.y.z", "2..3", "-1".
std::optional<int> compareVersions(const std::string& a, const std::string& b);

// Whether the host version lets the agent run: at least the minimum, and made of numbers.
bool hostVersionAccepted(const std::string& hostVersion, const std::string& minimum);

}  // namespace ostrell::app
