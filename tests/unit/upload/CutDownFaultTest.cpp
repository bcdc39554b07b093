#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>

#include "unit/Fixture.h"
#include "upload/OutFileNames.h"
#include "upload/OutLineReading.h"
#include "upload/RecordConversion.h"

using namespace ostrell;
using namespace ostrell::unittest;
using Strings = std::vector<std::string>;
using Op = fake::FakeFileSystem::Op;

namespace {

// The outgoing lines a test started with (and any the host added), per kind.
using Originals = std::map<int, Strings>;

void putOriginals(UploadFixture& f, const std::map<int, std::string>& files, Originals& originals) {
    for (const auto& [kind, bytes] : files) {
        f.fs.putFile(upload::outFilePath("/data/", kind), bytes);
        originals[kind] = upload::readOutLines(bytes);
    }
}

bool inLedger(const UploadFixture& f, int kind, const std::string& line) {
    for (int16_t marker : {0, 1}) {
        const std::string wire = upload::convertRecord(kind, line, marker).text;
        if (std::find(f.server.ledger.begin(), f.server.ledger.end(), wire) != f.server.ledger.end()) return true;
    }
    return false;
}

// Every line is either accepted by the server or still in its file, and no file holds a line that was
// never in it. Returns a description of the first breach, or nothing.
std::optional<std::string> breach(const UploadFixture& f, const Originals& originals) {
    for (const auto& [kind, lines] : originals) {
        const Strings now = upload::readOutLines(f.fs.content(upload::outFilePath("/data/", kind)));
        for (const auto& line : lines)
            if (!inLedger(f, kind, line) && std::find(now.begin(), now.end(), line) == now.end())
                return "lost line '" + line + "' of kind " + std::to_string(kind);
        for (const auto& line : now)
            if (std::find(lines.begin(), lines.end(), line) == lines.end())
                return "stray line '" + line + "' in kind " + std::to_string(kind);
    }
    for (const auto& name : f.fs.list("/data")) {
        bool known = name.rfind("VRXlogOUT.txt", 0) == 0;
        for (int kind = upload::FirstOutKind; kind <= upload::LastOutKind; ++kind)
            known = known || name == std::string(upload::OutFileNames[kind]) + ".csv" ||
                    name == std::string(upload::OutFileNames[kind]) + ".csv.ostrell-tmp";
        if (!known) return "unexpected file " + name;
    }
    return std::nullopt;
}

Strings sendReports(const UploadFixture& f) {
    Strings out;
    for (const auto& w : f.sinks.where())
        if (w.rfind("SendFiles:", 0) == 0) out.push_back(w);
    return out;
}

const std::string PricesBytes = "PRC001,a\r\nPRC002,b\r\nPRC003,c\r\n";
const std::string ChildBytes = "c1\r\nc2\r\n";

// Prices is given up at its second record (cut down); Child is sent in full (deleted).
void refusePrc002(UploadFixture& f) {
    f.server.rule = [](const std::string& req) { return req == "4|PRC002|0|b" ? say("BAD") : accept(req); };
}

}  // namespace

TEST(CutDownFaults, AFailureAtAnyStepLeavesTheOriginalWholeIsReportedAndLeavesNoWorkFile) {
    struct Case {
        std::string name;
        Op op;
        int errnum;
        int nth;
        std::string prices;  // Prices.csv afterwards
        bool childLeft;      // Child.csv still there afterwards
        Strings reports;
    };
    const std::string cut = "PRC002,b\r\nPRC003,c\r\n";
    // Per run the file operations come in this order: Child read, re-read, remove, sync; Prices read,
    // re-read, write, rename, sync (plus the transfer log's appends, which are not counted here).
    const std::vector<Case> cases = {
        {"re-read fails", Op::Read, EIO, 4, PricesBytes, false, {"SendFiles:105"}},
        {"write fails", Op::Create, EIO, 1, PricesBytes, false, {"SendFiles:120"}},
        {"disk full on write", Op::Create, ENOSPC, 1, PricesBytes, false, {"SendFiles:120"}},
        {"rename fails", Op::Rename, EIO, 1, PricesBytes, false, {"SendFiles:125"}},
        {"directory sync after rename fails", Op::SyncDir, EIO, 2, cut, false, {"SendFiles:135"}},
        {"delete fails", Op::Remove, EACCES, 1, cut, true, {"SendFiles:110"}},
        {"directory sync after delete fails", Op::SyncDir, EIO, 1, cut, false, {"SendFiles:115"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UploadFixture f;
        Originals originals;
        putOriginals(f, {{1, ChildBytes}, {4, PricesBytes}}, originals);
        refusePrc002(f);
        f.fs.failOn(c.op, c.errnum, c.nth);
        f.up.sendFiles();
        EXPECT_EQ(f.fs.content(f.path("Prices")), c.prices);
        EXPECT_EQ(f.fs.has(f.path("Child")), c.childLeft);
        if (c.childLeft) {
            EXPECT_EQ(f.fs.content(f.path("Child")), ChildBytes);
        }
        EXPECT_EQ(sendReports(f), c.reports);
        EXPECT_FALSE(f.fs.has(f.path("Prices") + ".ostrell-tmp"));
        EXPECT_FALSE(f.fs.has(f.path("Prices") + ".new"));
        EXPECT_EQ(breach(f, originals), std::nullopt);
    }
}

TEST(CutDownFaults, AWorkFileThatCannotBeRemovedAfterAFailedRenameGoesAtTheNextSend) {
    UploadFixture f;
    Originals originals;
    putOriginals(f, {{4, PricesBytes}}, originals);
    refusePrc002(f);
    f.fs.failOn(Op::Rename, EIO);
    f.fs.failOn(Op::Remove, EIO);
    f.up.sendFiles();
    EXPECT_EQ(sendReports(f), (Strings{"SendFiles:125", "SendFiles:130"}));
    EXPECT_EQ(f.fs.content(f.path("Prices")), PricesBytes);
    EXPECT_EQ(breach(f, originals), std::nullopt);

    f.server.rule = nullptr;
    f.up.sendFiles();
    EXPECT_EQ(f.dataFiles(), Strings{});
    EXPECT_EQ(breach(f, originals), std::nullopt);
}

TEST(CutDownFaults, AReadOnlyDirectoryOrAFullDiskKeepsEveryFileAsItWas) {
    for (const bool fullDisk : {false, true}) {
        SCOPED_TRACE(fullDisk ? "full disk" : "read-only directory");
        UploadFixture f;
        Originals originals;
        putOriginals(f, {{1, ChildBytes}, {4, PricesBytes}}, originals);
        refusePrc002(f);
        if (fullDisk) f.fs.setCapacity(static_cast<int64_t>(ChildBytes.size() + PricesBytes.size()));
        else f.fs.setReadOnly("/data");
        f.up.sendFiles();
        EXPECT_EQ(f.fs.content(f.path("Prices")), PricesBytes);
        if (fullDisk) {
            // Deleting needs no space: the file sent in full goes.
            EXPECT_FALSE(f.fs.has(f.path("Child")));
            // Nor is there room to note what of Prices the server has.
            EXPECT_EQ(sendReports(f), (Strings{"SendFiles:120", "SendFiles:35"}));
            for (const auto& r : f.sinks.reports)
                if (r.procedureName == "SendFiles") {
                    EXPECT_EQ(r.number, platform::err::DiskFull);
                }
        } else {
            EXPECT_EQ(f.fs.content(f.path("Child")), ChildBytes);
            EXPECT_EQ(sendReports(f), (Strings{"SendFiles:110", "SendFiles:120"}));
        }
        EXPECT_EQ(f.dataFiles(), fullDisk ? Strings{"Prices.csv"} : (Strings{"Child.csv", "Prices.csv"}));
        EXPECT_FALSE(f.fs.has(f.path("Prices") + ".ostrell-tmp"));
        EXPECT_EQ(breach(f, originals), std::nullopt);
    }
}
