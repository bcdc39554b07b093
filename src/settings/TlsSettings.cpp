#include "settings/TlsSettings.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace ostrell::settings {

namespace {

std::string lowerCase(std::string s) {
    std::ranges::transform(s, s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

int base64Value(char c) {
    constexpr std::string_view Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const size_t at = Alphabet.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace

bool wellFormedPin(const std::string& pin) {
    // 32 bytes are 43 base64 digits and one "="; the last digit carries two bits that must be zero.
    constexpr std::string_view Prefix = "sha256/";
    if (!pin.starts_with(Prefix) || pin.size() != Prefix.size() + 44 || pin.back() != '=') return false;
    const std::string_view digits(pin.data() + Prefix.size(), 43);
    if (!std::ranges::all_of(digits, [](char c) { return base64Value(c) >= 0; })) return false;
    return (base64Value(digits.back()) & 3) == 0;
}

TlsChoice chooseTls(const TlsTexts& texts) {
    TlsChoice choice;
    const std::string tls = lowerCase(texts.tls);
    if (tls.empty() || tls == "no") return choice;
    if (tls != "yes") {
        choice.problem = "TLS=" + texts.tls + ": not Yes or No";
        return choice;
    }
    choice.on = true;
    choice.options = {texts.authorityFile, texts.pin, texts.peerName};
    if (!texts.pin.empty() && !wellFormedPin(texts.pin))
        choice.problem = "TLSPin=" + texts.pin + ": not sha256/ and the base64 of a SHA-256 (44 characters)";
    return choice;
}

}  // namespace ostrell::settings
