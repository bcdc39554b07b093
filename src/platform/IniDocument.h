#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace ostrell::platform {

// The host's BKX.ini as its bytes, read and edited one key at a time without touching anything else.
// "[Section]" lines open sections; "key=value" lines hold keys, the value being every byte after the
// first '=' up to the line end (a CR before the LF is part of the line end): no quoting, escapes,
// inline comments or trimming. Lines starting with ';' or '#' are comments; other lines are kept and
// ignored. Section and key names match ignoring ASCII case; the first match in the file counts. A UTF-8
// byte-order mark at the start is read past and kept.
class IniDocument {
public:
    explicit IniDocument(std::string text) : text_(std::move(text)) {}

    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Replaces the value of the key's line; else adds the key at the end of its section; else adds the
    // section at the end of the file. Every other byte stays. A value holding a line break would
    // become lines of its own: refused with std::invalid_argument.
    void set(std::string_view section, std::string_view key, std::string_view value);

    const std::string& text() const { return text_; }

private:
    struct KeyLine {
        size_t valueBegin;  // first byte after the '='
        size_t valueEnd;    // the line end (before CR LF or LF) or the end of the text
    };
    struct Place {
        std::optional<KeyLine> key;
        std::optional<size_t> sectionEnd;  // where a new key of the section goes
    };
    Place find(std::string_view section, std::string_view key) const;
    std::string lineEnd() const;
    size_t firstLineBegin() const;  // past a byte-order mark

    std::string text_;
};

}  // namespace ostrell::platform
