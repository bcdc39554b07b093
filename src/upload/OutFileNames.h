#pragma once
#include <array>
#include <string>

namespace ostrell::upload {

// Base names of the outgoing files Brannick leaves in the data directory. The index is the record kind
// (1 to 7) that decides how the records are converted; element 0 is unused. Order and spelling are the
// host's: files are sent in index order.
inline constexpr int FirstOutKind = 1;
inline constexpr int LastOutKind = 7;
inline constexpr std::array<const char*, 8> OutFileNames = {"",       "Child",   "EndDate",  "Periods",
                                                            "Prices", "Deleted", "Bookings", "RoomTypes"};

// Full name of the outgoing file of a kind: the data directory (which ends with its separator) runs
// straight into the base name.
inline std::string outFilePath(const std::string& dataDirPath, int kind) {
    return dataDirPath + OutFileNames[kind] + ".csv";
}

// Where a cut-down file is written before it replaces the original. The suffix is ours alone, so it
// cannot clash with a file of the host's.
inline std::string outTempPath(const std::string& outPath) { return outPath + ".ostrell-tmp"; }

}  // namespace ostrell::upload
