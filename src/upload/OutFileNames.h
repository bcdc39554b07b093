#pragma once
#include <array>
#include <string>

namespace ostrell::upload {

// The kinds of outgoing file Brannick leaves in the data directory; the kind decides how the records are
// converted. Its value is the digit that opens each of its request lines and ends its batch key.
enum class OutKind { Child = 1, EndDate, Periods, Prices, Deleted, Bookings, RoomTypes };

// Every kind in the host's order, the order the files are sent in.
inline constexpr std::array<OutKind, 7> OutKinds = {OutKind::Child,    OutKind::EndDate, OutKind::Periods,
                                                    OutKind::Prices,   OutKind::Deleted, OutKind::Bookings,
                                                    OutKind::RoomTypes};
// The files' base names in the same order, spelt as the host spells them.
inline constexpr std::array<const char*, 7> OutFileNames = {"Child",   "EndDate",  "Periods",  "Prices",
                                                            "Deleted", "Bookings", "RoomTypes"};

inline constexpr int wireDigit(OutKind kind) { return static_cast<int>(kind); }

inline constexpr const char* outFileName(OutKind kind) {
    return OutFileNames.at(static_cast<size_t>(wireDigit(kind) - 1));
}

// Full name of the outgoing file of a kind: the data directory (which ends with its separator) runs
// straight into the base name.
inline std::string outFilePath(const std::string& dataDirPath, OutKind kind) {
    return dataDirPath + outFileName(kind) + ".csv";
}

// Where a cut-down file is written before it replaces the original. The suffix is ours alone, so it
// cannot clash with a file of the host's.
inline std::string outTempPath(const std::string& outPath) { return outPath + ".ostrell-tmp"; }

}  // namespace ostrell::upload
