#include "platform/posix/LibraryErrorSink.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

#include "platform/posix/SyslogErrorSink.h"

namespace ostrell::platform {

namespace {
class LibrarySink : public ErrorSink {
public:
    explicit LibrarySink(HandleErrorFn fn) : fn_(fn) {}
    int32_t HandleError(const ErrorSinkInputs& in) override {
        return fn_(in.number, in.description.c_str(), in.helpContext.c_str(), in.source.c_str(), in.line,
                   in.moduleName.c_str(), in.procedureName.c_str(), in.extraText.c_str(), in.programName.c_str(),
                   in.input10, in.input11.c_str(), in.input12.c_str(), in.input13.c_str(), in.programVersion.c_str(),
                   in.input15.c_str(), in.input16.c_str());
    }

private:
    HandleErrorFn fn_;
};
}  // namespace

ErrorSinkLoader::ErrorSinkLoader(const std::string& programDirectory) {
    std::string path = programDirectory;
    if (path.empty() || path.back() != '/') path += '/';
    path += SinkLibraryName;
    if (access(path.c_str(), F_OK) != 0) return;
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        std::fprintf(stderr, "ostrell: error sink library not loaded, using the built-in sink: %s\n", dlerror());
        return;
    }
    fn_ = reinterpret_cast<HandleErrorFn>(dlsym(handle_, SinkSymbol));
    if (!fn_) std::fprintf(stderr, "ostrell: %s has no %s, using the built-in sink\n", path.c_str(), SinkSymbol);
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
