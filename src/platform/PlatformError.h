#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace ostrell::platform {

// A failed platform operation (file, socket, process, settings). Procedures never let it reach
// their caller: the error trap of the procedure catches it and reports it (errors/Trap.h).
class PlatformError : public std::runtime_error {
public:
    PlatformError(int32_t number, const std::string& description, std::string source = "Ostrell")
        : std::runtime_error(description), number_(number), source_(std::move(source)) {}
    int32_t number() const { return number_; }
    const std::string& source() const { return source_; }
    // What failed, for the technician's line after the report: the key, its value and the file; the
    // path and errno. The description stays the one the report has always carried.
    const std::string& detail() const { return detail_; }
    PlatformError& withDetail(std::string detail) {
        detail_ = std::move(detail);
        return *this;
    }

private:
    int32_t number_;
    std::string source_;
    std::string detail_;
};

// Error numbers used for reports. They follow the numbering the host product's technicians know.
namespace err {
constexpr int32_t Overflow = 6;
constexpr int32_t TypeMismatch = 13;
constexpr int32_t BadFileNameOrNumber = 52;
constexpr int32_t FileNotFound = 53;
constexpr int32_t BadFileMode = 54;
constexpr int32_t FileAlreadyOpen = 55;
constexpr int32_t DeviceIoError = 57;
constexpr int32_t FileAlreadyExists = 58;
constexpr int32_t DiskFull = 61;
constexpr int32_t InputPastEnd = 62;
constexpr int32_t PermissionDenied = 70;
constexpr int32_t PathFileAccessError = 75;
constexpr int32_t PathNotFound = 76;
constexpr int32_t InvalidProcedureCall = 5;
constexpr int32_t SocketError = 40006;  // wrong protocol or connection state for the request
constexpr int32_t LineTooLong = 40020;  // server line past the framing limit
constexpr int32_t TlsRefused = 40030;   // the TLS link failed a check, or its settings are wrong
}  // namespace err

// Maps an errno value to a PlatformError with the matching number and strerror text.
PlatformError errnoError(int errnum, const std::string& what);

}  // namespace ostrell::platform
