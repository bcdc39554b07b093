#pragma once
#include <cstdint>
#include <string>

#include "errors/ErrorReporter.h"
#include "platform/EventLoop.h"
#include "platform/FileSystem.h"
#include "settings/Parameters.h"

namespace ostrell::translog {

inline constexpr const char* TransferLogName = "VRXlogOUT.txt";
inline constexpr int64_t TransferLogLimit = 5242880;  // rotated when strictly larger

// The permanent trace in the data directory: one line per event, date and time first, CR LF last.
// Beyond 5 MiB the log becomes the single ".bak" backup.
class TransferLog {
public:
    TransferLog(platform::FileSystem& fs, const platform::EventLoop& clock, errors::ErrorReporter& reporter,
                const settings::Parameters& params)
        : fs_(fs), clock_(clock), reporter_(reporter), params_(params) {}

    void write(const std::string& text);
    // The log stays open between lines for as long as its path names it; the end of a cycle closes it, so
    // that an idle agent holds nothing open in the data directory.
    void closeFile() { fs_.closeHeldFiles(); }

    std::string logPath() const { return params_.dataDirPath + TransferLogName; }

private:
    platform::FileSystem& fs_;
    const platform::EventLoop& clock_;
    errors::ErrorReporter& reporter_;
    const settings::Parameters& params_;
    int64_t length_ = -1;     // the log's length as our appends left it; -1: to be measured
    std::string lengthPath_;  // the file length_ belongs to (the data directory may change)
};

}  // namespace ostrell::translog
