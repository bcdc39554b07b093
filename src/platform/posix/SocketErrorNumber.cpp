#include "platform/posix/SocketErrorNumber.h"

#include <cerrno>

#include "platform/PlatformError.h"

namespace ostrell::platform {

int32_t socketErrorNumber(int errnoValue) {
    switch (errnoValue) {
        case ECONNREFUSED: return 10061;
        case ECONNRESET:
        case EPIPE: return 10054;
        case ECONNABORTED: return 10053;
        case ETIMEDOUT: return 10060;
        case EHOSTUNREACH:
        case EHOSTDOWN: return 10065;
        case ENETUNREACH: return 10051;
        case ENETDOWN: return 10050;
        case ENETRESET: return 10052;
        case EADDRINUSE: return 10048;
        case EADDRNOTAVAIL: return 10049;
        case EACCES:
        case EPERM: return 10013;
        case ENOBUFS:
        case ENOMEM:
        case EMFILE:
        case ENFILE: return 10055;
        case EAFNOSUPPORT: return 10047;
        case EMSGSIZE: return 10040;
        case EOPNOTSUPP: return 10045;
        case EAGAIN:
        case EINPROGRESS:
        case EALREADY: return 10035;
        default: return err::SocketError;
    }
}

}  // namespace ostrell::platform
