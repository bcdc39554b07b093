#pragma once
#include <string>

#include "platform/PlatformError.h"

namespace ostrell::platform {

// The host rewrites the settings file in place: it empties it, then writes it, maybe in pieces. A file
// found empty or without its last line end, changed less than this long ago, is taken to be caught
// half-way through and is not read (PlatformError). A file the host changed less than this long ago is
// never written, whatever it ends with: the write fails with HostRewriting and is made later. Left that
// way longer, it is what the host meant.
inline constexpr int HostRewriteWindowMs = 2000;

// A write refused because the host changed the file within HostRewriteWindowMs: nothing was written.
class HostRewriting : public PlatformError {
public:
    using PlatformError::PlatformError;
};

// The per-user settings store shared with the host product: application, section, key, text value.
// Each call is one independent operation; the store is re-read for every readValue, so changes the
// host makes while we run are seen at the next read. Failures throw PlatformError; a file that is not a
// regular file (a FIFO, a device, a directory) is refused at once, never opened to wait on.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::string readValue(const std::string& app, const std::string& section, const std::string& key,
                                  const std::string& defaultValue) = 0;
    virtual void writeValue(const std::string& app, const std::string& section, const std::string& key,
                            const std::string& value) = 0;
    // Where the application's settings live, for messages; empty when nowhere a technician could look.
    virtual std::string location(const std::string& /*app*/) const { return {}; }
};

}  // namespace ostrell::platform
