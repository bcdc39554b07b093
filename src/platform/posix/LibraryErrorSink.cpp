#include "platform/posix/LibraryErrorSink.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/posix/SyslogErrorSink.h"

namespace ostrell::platform {

namespace {
class LibrarySink : public ErrorSink {
public:
    explicit LibrarySink(HandleErrorFn fn) : fn_(fn) {}
    int32_t handle(const ErrorSinkInputs& in) override {
        return fn_(in.number, in.description.c_str(), in.helpContext.c_str(), in.source.c_str(), in.line,
                   in.moduleName.c_str(), in.procedureName.c_str(), in.extraText.c_str(), in.programName.c_str(),
                   in.input10, in.input11.c_str(), in.input12.c_str(), in.input13.c_str(), in.programVersion.c_str(),
                   in.input15.c_str(), in.input16.c_str());
    }
    // The plug-in takes the sixteen inputs only; what failed goes to the system log beside it.
    void explain(const std::string& detail) override { writeReportDetail(detail); }

private:
    HandleErrorFn fn_;
};

// In the system log; a fault also on stderr, for a technician at a terminal.
void tell(int priority, const std::string& text) {
    if (priority <= LOG_WARNING) std::fprintf(stderr, "ostrell: %s\n", text.c_str());
    openlog("ostrell", LOG_PID, LOG_USER);
    syslog(priority, "%s", text.c_str());
    closelog();
}

}  // namespace

std::string sinkLibraryDirectory(const std::string& programDirectory, const std::string& libDir) {
    std::string dir = programDirectory;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && dir.compare(slash + 1, std::string::npos, "bin") == 0)
        return dir.substr(0, slash) + "/" + libDir + "/ostrell";
    return dir;
}

std::string sinkLibraryDirectory(const std::string& programDirectory) {
    return sinkLibraryDirectory(programDirectory, OSTRELL_INSTALL_LIBDIR);
}

std::string untrustedReason(const std::string& directory, const std::string& file) {
    const uid_t user = ::geteuid();
    const auto check = [&](const std::string& path, const struct stat& st) -> std::string {
        if (st.st_uid != 0 && st.st_uid != user) return path + " belongs to another user";
        if (st.st_mode & (S_IWGRP | S_IWOTH)) return path + " is writable by group or others";
        return {};
    };
    struct stat st {};
    if (::stat(directory.c_str(), &st) != 0) return directory + ": " + std::strerror(errno);
    if (std::string why = check(directory, st); !why.empty()) return why;
    if (::lstat(file.c_str(), &st) != 0) return file + ": " + std::strerror(errno);
    if (!S_ISREG(st.st_mode)) return file + " is not an ordinary file";
    return check(file, st);
}

ErrorSinkLoader::ErrorSinkLoader(const std::string& libraryDirectory) {
    std::string dir = libraryDirectory;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const std::string path = dir + "/" + SinkLibraryName;
    struct stat st {};
    path_ = path;
    // Where the reports go is part of the agent's start line; only a library that fails is told here.
    if (::lstat(path.c_str(), &st) == 0) load(path);
}

void ErrorSinkLoader::load(const std::string& path) {
    if (const std::string why = untrustedReason(platform::parentDirectory(path), path); !why.empty()) {
        tell(LOG_ERR, "error sink library refused, using the system log: " + why);
        return;
    }
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        tell(LOG_ERR, std::string("error sink library not loaded, using the system log: ") + dlerror());
        return;
    }
    fn_ = reinterpret_cast<HandleErrorFn>(dlsym(handle_, SinkSymbol));
    if (!fn_) tell(LOG_ERR, path + " has no " + SinkSymbol + ", using the system log");
}

ErrorSinkLoader::~ErrorSinkLoader() {
    if (handle_) dlclose(handle_);
}

std::unique_ptr<ErrorSink> ErrorSinkLoader::create() {
    if (fn_) return std::make_unique<LibrarySink>(fn_);
    return std::make_unique<SyslogErrorSink>();
}

void ProcessTerminator::endNow() {
    std::fflush(nullptr);
    _exit(0);
}

void ProcessTerminator::endRefused() {
    std::fflush(nullptr);
    _exit(1);  // ExitRefused
}

}  // namespace ostrell::platform
