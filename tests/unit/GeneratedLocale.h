#pragma once
#include <stdlib.h>

#include <clocale>
#include <cstring>
#include <filesystem>
#include <string>

namespace ostrell::testsupport {

// Runs a scope under a locale generated for the test (localedef into a temporary LOCPATH), so the test
// needs no locale installed on the machine. The C locale is back when the scope ends.
class GeneratedLocale {
public:
    explicit GeneratedLocale(const std::string& name) {  // e.g. "de_DE.UTF-8"
        char dir[] = "/tmp/ostrell-locales-XXXXXX";
        if (!::mkdtemp(dir)) return;
        dir_ = dir;
        const std::string base = name.substr(0, name.find('.'));
        if (std::system(("localedef -i " + base + " -f UTF-8 " + dir_ + "/" + name + " >/dev/null 2>&1").c_str()) != -1)
            ::setenv("LOCPATH", dir, 1), std::setlocale(LC_ALL, name.c_str());
    }
    ~GeneratedLocale() {
        std::setlocale(LC_ALL, "C");
        ::unsetenv("LOCPATH");
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    GeneratedLocale(const GeneratedLocale&) = delete;
    GeneratedLocale& operator=(const GeneratedLocale&) = delete;

    // In force with a decimal comma: what makes a locale-bound conversion go wrong (C has a point).
    static bool hasDecimalComma() { return std::strcmp(std::localeconv()->decimal_point, ",") == 0; }

private:
    std::string dir_;
};

}  // namespace ostrell::testsupport
