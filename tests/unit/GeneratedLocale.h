#pragma once
#include <stdlib.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace ostrell::testsupport {

// Runs a scope under a locale generated for the test (localedef into a temporary LOCPATH), so the
// test needs no locale installed on the machine. The C locale is back when the scope ends.
class GeneratedLocale {
public:
    explicit GeneratedLocale(const std::string& name) {  // e.g. "de_DE.UTF-8"
        static std::string dir = [] {
            char templ[] = "/tmp/ostrell-locales-XXXXXX";
            return std::string(::mkdtemp(templ) ? templ : "");
        }();
        const std::string base = name.substr(0, name.find('.'));
        const std::string command = "localedef -i " + base + " -f UTF-8 " + dir + "/" + name + " >/dev/null 2>&1";
        if (dir.empty() || std::system(command.c_str()) == -1) return;
        ::setenv("LOCPATH", dir.c_str(), 1);
        active_ = std::setlocale(LC_ALL, name.c_str()) != nullptr;
    }
    ~GeneratedLocale() {
        std::setlocale(LC_ALL, "C");
        ::unsetenv("LOCPATH");
    }
    GeneratedLocale(const GeneratedLocale&) = delete;
    GeneratedLocale& operator=(const GeneratedLocale&) = delete;

    // In force, and with a decimal comma: what makes a locale-bound conversion go wrong.
    bool hasDecimalComma() const { return active_ && std::strcmp(std::localeconv()->decimal_point, ",") == 0; }

private:
    bool active_ = false;
};

}  // namespace ostrell::testsupport
