#pragma once
#include <string>

#include "platform/StateWriter.h"

namespace ostrell::platform {

// State files in one directory (made 0700 when missing), each written to a fresh temporary file
// (0600, exclusive) and renamed over the old one; not synced (see writeState).
class PosixStateWriter : public StateWriter {
public:
    explicit PosixStateWriter(std::string directory) : directory_(std::move(directory)) {}
    void writeState(const std::string& name, const std::string& text) override;
    std::string readState(const std::string& name) override;

private:
    std::string directory_;
};

}  // namespace ostrell::platform
