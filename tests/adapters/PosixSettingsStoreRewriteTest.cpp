#include <gtest/gtest.h>
#include <utime.h>

#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "AdapterTestSupport.h"
#include "platform/PlatformError.h"
#include "platform/posix/PosixSettingsStore.h"

using ostrell::adaptertest::OpenTempDir;
using ostrell::platform::PlatformError;
using ostrell::platform::PosixSettingsStore;

namespace {

class HostRewriteTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home_.isValid()); }

    std::string path() const { return home_.file("BKX.ini"); }
    void write(const std::string& text) { std::ofstream(path(), std::ios::binary | std::ios::trunc) << text; }
    std::string content() const {
        std::ifstream in(path(), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    void ageBy(time_t seconds) {
        utimbuf times{std::time(nullptr) - seconds, std::time(nullptr) - seconds};
        ASSERT_EQ(::utime(path().c_str(), &times), 0);
    }

    OpenTempDir home_;
    PosixSettingsStore store_{home_.path()};
};

const std::string Whole = "[Ostrell]\nDataDir=/srv/brannick/data/\nTimeOut=30\n\n[Version]\nBrannhall=2.3.119\n";

}  // namespace

// The host rewrites the file in place: emptied, then written. A read in between must not hand out its
// defaults for the host's values (an empty data directory is the working directory), and a write in
// between must not put back the little the file holds then, which would lose the host's keys for good.
TEST_F(HostRewriteTest, AFileCaughtHalfWrittenIsNeitherTakenNorWrittenBack) {
    write(Whole);
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "DataDir", ""), "/srv/brannick/data/");

    for (const std::string& caught : {Whole.substr(0, 25), std::string()}) {
        write(caught);
        EXPECT_THROW(store_.readValue("BKX", "Ostrell", "DataDir", ""), PlatformError) << caught;
        EXPECT_THROW(store_.writeValue("BKX", "Ostrell", "LastTry", "now"), PlatformError) << caught;
        EXPECT_EQ(content(), caught) << "left for the host to finish";
    }

    write(Whole);
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "TimeOut", "15"), "30");
    EXPECT_NO_THROW(store_.writeValue("BKX", "Ostrell", "LastTry", "now"));
    EXPECT_EQ(store_.readValue("BKX", "Version", "Brannhall", ""), "2.3.119");

    // A file left without its last line end, or empty, long enough is what the host meant.
    write("[Ostrell]\nTimeOut=45");
    ageBy(60);
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "TimeOut", "15"), "45");
    write("");
    ageBy(60);
    EXPECT_EQ(store_.readValue("BKX", "Ostrell", "TimeOut", "15"), "15");
    EXPECT_NO_THROW(store_.writeValue("BKX", "Ostrell", "LastTry", "now"));
}
