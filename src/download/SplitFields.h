#pragma once
#include <string>
#include <vector>

namespace ostrell::download {

// Splits text on separator into its fields, at least one.
// One separator at the very end closes the last field instead of opening an empty one, so "a|b|c" and
// "a|b|c|" both give three fields and an empty text gives one empty field. Counts are size_t: there is
// no limit on the number or length of fields. An empty separator gives the whole text as one field.
std::vector<std::string> splitFields(std::string text, const std::string& separator);

}  // namespace ostrell::download
