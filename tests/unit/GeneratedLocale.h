#pragma once
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace ostrell::testsupport {

// Runs a scope under a locale generated for the test (localedef into a temporary LOCPATH), so the test
// needs no locale installed on the machine. The C locale is back when the scope ends.
class GeneratedLocale {
public:
    explicit GeneratedLocale(const std::string& name)  // e.g. "de_DE.UTF-8"
        : dir_(std::filesystem::temp_directory_path() / ("ostrell-locales-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        const std::string command =
            "localedef -i " + name.substr(0, name.find('.')) + " -f UTF-8 " + (dir_ / name).string();
        if (std::system((command + " >/dev/null 2>&1").c_str()) != -1)
            ::setenv("LOCPATH", dir_.c_str(), 1), std::setlocale(LC_ALL, name.c_str());
    }
    ~GeneratedLocale() {
        std::setlocale(LC_ALL, "C");
        ::unsetenv("LOCPATH");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // In force with a decimal comma: what makes a locale-bound conversion go wrong (C has a point).
    static bool hasDecimalComma() { return std::string(std::localeconv()->decimal_point) == ","; }

private:
    std::filesystem::path dir_;
};

}  // namespace ostrell::testsupport
