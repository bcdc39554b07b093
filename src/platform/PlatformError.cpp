#include "platform/PlatformError.h"

#include <cerrno>
#include <cstring>

namespace ostrell::platform {

PlatformError errnoError(int errnum, const std::string& what) {
    int32_t number = err::DeviceIoError;
    switch (errnum) {
        case ENOENT: number = err::FileNotFound; break;
        case ENOTDIR: number = err::PathNotFound; break;
        case EACCES:
        case EPERM:
        case EROFS: number = err::PermissionDenied; break;
        case ENOSPC:
        case EDQUOT: number = err::DiskFull; break;
        case EISDIR:
        case ELOOP: number = err::PathFileAccessError; break;
        case EEXIST: number = err::FileAlreadyExists; break;
        case EBUSY:
        case ETXTBSY: number = err::FileAlreadyOpen; break;
        default: break;
    }
    const char* name = strerrorname_np(errnum);
    PlatformError e(number, what + ": " + std::strerror(errnum));
    e.withDetail(what + ": errno " + std::to_string(errnum) + (name ? std::string(" ") + name : std::string()));
    return e;
}

}  // namespace ostrell::platform
