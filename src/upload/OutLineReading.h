#pragma once
#include <string>
#include <vector>

namespace ostrell::upload {

// Splits an outgoing file into its records, as the host writes them: a line ends at CR or at CR LF (the
// end is not part of the record); a lone LF does not end a line and stays inside the record; the last
// line needs no line end. Every line is a record, blank ones included. An empty file has no records.
std::vector<std::string> readOutLines(const std::string& bytes);

// True when the last line has no line end (yet): the host may still be writing it.
bool lastLineUnfinished(const std::string& bytes);

}  // namespace ostrell::upload
