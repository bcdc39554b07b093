#include <gtest/gtest.h>

#include "unit/app/AgentFixture.h"

using namespace ostrell;
using apptest::AgentFixture;

// The host rewrites the settings file in place; started at the same moment, the agent can find it empty
// or half written. A missing or cut-off host version then is no reason to refuse to run for good.
TEST(StartUp, AHostVersionMissingWhileTheHostRewritesTheFileIsLookedForAgain) {
    for (const char* seen : {"<absent>", "2.3.1"}) {  // emptied, or cut off after "2.3.1" of "2.3.119"
        AgentFixture f;
        if (std::string(seen) == "<absent>")
            f.store.values.erase({"BKX", "Version", "Brannhall"});
        else
            f.store.set("Version", "Brannhall", seen);
        f.loop.post(150, [&] { f.store.set("Version", "Brannhall", "2.3.119"); });  // the host is done
        EXPECT_NO_THROW(f.agent->Form_Load()) << seen;
        EXPECT_EQ(f.agent->scheduler().tmrMain().interval(), 1000) << seen;
        for (const auto& entry : f.shell.journal) EXPECT_EQ(entry.rfind("message", 0), std::string::npos) << entry;
    }

    // A version that stays too old is refused, with one message, after looking for longer than the
    // settings store waits for a half-written file.
    AgentFixture old;
    old.store.set("Version", "Brannhall", "2.3.118");
    const int64_t start = old.loop.nowMs();
    EXPECT_THROW(old.agent->Form_Load(), fake::ProgramEnded);
    EXPECT_GT(old.loop.nowMs() - start, platform::HostRewriteWindowMs);
    EXPECT_LT(old.loop.nowMs() - start, 3000);
    EXPECT_EQ(old.shell.journal.size(), 1u);
}
