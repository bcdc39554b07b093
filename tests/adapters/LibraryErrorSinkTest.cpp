
#include <filesystem>

#include "AdapterTestSupport.h"
#include "platform/posix/LibraryErrorSink.h"

using namespace ostrell::platform;

TEST(LibraryErrorSink, LoadedOnlyFromAFileAndDirectoryNoOneElseCanWrite) {
    for (const auto& [dirMode, fileMode, loaded] :
         {std::tuple{0755, 0644, true}, {0775, 0644, false}, {0757, 0644, false}, {0755, 0664, false}}) {
        ostrell::adaptertest::OpenTempDir dir;
        const std::string lib = dir.file(SinkLibraryName);
        std::filesystem::copy_file(OSTRELL_TEST_SINK, lib);
        ASSERT_EQ(::chmod(lib.c_str(), fileMode) | ::chmod(dir.path().c_str(), dirMode), 0);
        EXPECT_EQ(ErrorSinkLoader(dir.path()).create()->handle({}) == 4242, loaded) << dirMode << " " << fileMode;
    }
}
