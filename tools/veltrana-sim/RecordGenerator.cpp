#include "veltrana-sim/RecordGenerator.h"

#include <array>
#include <string_view>
#include <vector>

namespace ostrell::sim {

namespace {

// "\xFC", "\xE9" and "\xF8" are Latin-1 bytes; "\xC3\xAB" is a UTF-8 pair: both kinds of high byte.
constexpr std::array<std::string_view, 8> Surnames{"Keller",    "M\xFCller",     "O'Brien",     "Smith, Jr.",
                                                   "Lindqvist", "Ren\xE9 Duval", "Bj\xF8rnsen", "Zo\xC3\xAB Park"};
constexpr std::array<std::string_view, 5> FirstNames{"Anna", "Piet",
                                                     "Mar\xED"
                                                     "a",
                                                     "Tom", "Ilse"};
constexpr std::array<std::string_view, 4> RoomTypes{"DBL", "SGL", "FAM, sea view", "STD"};
constexpr std::array<std::string_view, 6> Remarks{
    "Welcome drink, late arrival", R"(Guest says ""see you soon, thanks"")",
    "cot needed; ground floor",    "",
    "arrives by train ~ 18:00",    "Welcome back! 10% off"};
constexpr std::array<std::string_view, 3> Cities{"Ghent", "K\xF6ln", "Saint-Malo, Bretagne"};

std::string quoted(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) line += ',';
        line += '"';
        line += fields[i];
        line += '"';
    }
    return line;
}

std::string pick(auto const& list, int32_t number, int32_t salt) {
    const auto n = static_cast<uint32_t>(number) * 2654435761u + static_cast<uint32_t>(salt);
    return std::string(list[n % list.size()]);
}

std::string twoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

std::vector<std::string> bookingFields(int32_t number) {
    const auto u = static_cast<uint32_t>(number);
    const int day = static_cast<int>(u % 28) + 1;
    const int month = static_cast<int>((u / 28) % 12) + 1;
    const std::string arrival = "2027-" + twoDigits(month) + "-" + twoDigits(day);
    const std::string departure = "2027-" + twoDigits(month) + "-" + twoDigits(day < 28 ? day + 1 : 1);
    return {"G" + std::to_string(u),                                   // 1 booking reference
            arrival,                                                   // 2
            departure,                                                 // 3
            pick(Surnames, number, 1),                                 // 4
            pick(FirstNames, number, 2),                               // 5
            std::to_string(number),                                    // 6 record number
            pick(RoomTypes, number, 3),                                // 7
            std::to_string(1 + u % 3),                                 // 8 adults
            std::to_string(u % 2),                                     // 9 children
            "Rue de la Paix 1" + std::to_string(u % 10) + ", apt. 2",  // 10
            pick(Cities, number, 4),                                   // 11
            "BE",                                                      // 12
            "+32 9 123 45 " + twoDigits(static_cast<int>(u % 100)),    // 13
            "guest" + std::to_string(u) + "@example.org",              // 14
            std::to_string(80 + u % 200) + ".50",                      // 15
            "EUR",                                                     // 16
            "web",                                                     // 17
            pick(Remarks, number, 5),                                  // 18
            "2026-12-06 10:" + twoDigits(static_cast<int>(u % 60)),    // 19
            "confirmed"};                                              // 20
}

std::vector<std::string> paymentFields(int32_t number) {
    const auto u = static_cast<uint32_t>(number);
    return {"P" + std::to_string(u), std::to_string(number), std::to_string(20 + u % 500) + ".00",
            u % 3 == 0 ? "Deposit, card \xE9\xE9" : (u % 3 == 1 ? "Welcome credit, voucher" : "balance")};
}

}  // namespace

std::string bookingRecord(int32_t number) { return quoted(bookingFields(number)); }
std::string paymentRecord(int32_t number) { return quoted(paymentFields(number)); }

std::string badBookingRecord(int32_t number) {
    auto fields = bookingFields(number);
    if (number % 2) fields.pop_back();
    else fields.emplace_back("extra");
    return quoted(fields);
}

std::string badPaymentRecord(int32_t number) {
    auto fields = paymentFields(number);
    if (number % 2) fields.pop_back();
    else fields.emplace_back("extra");
    return quoted(fields);
}

}  // namespace ostrell::sim
