// Checks the two data-safety invariants after a run of the real agent against veltrana-sim:
//   rel_check --ledger LEDGER --data DATADIR --before SNAPSHOTDIR
// SNAPSHOTDIR holds copies of the outgoing files as they were before the run. Prints what it checked
// ("checked acknowledged A accepted U lines L"), each violation on its own line and "violations N" last.
// Exit status 1 when there is any violation; 2 on bad use, on a ledger or directory it cannot read, and
// when there was nothing to check (a run that never reached the server proves nothing).
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "reliability/Invariants.h"
#include "upload/OutFileNames.h"

using namespace ostrell;

namespace {

std::optional<std::string> readFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

reliability::OutgoingFiles outgoingIn(const std::string& dir) {
    reliability::OutgoingFiles files;
    for (int kind = upload::FirstOutKind; kind <= upload::LastOutKind; ++kind)
        files[kind] = readFile(upload::outFilePath(dir, kind));
    return files;
}

std::vector<std::string> tempFilesIn(const std::string& dir) {
    std::vector<std::string> out;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return out;
    const std::string suffix = upload::outTempPath("");
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(name);
    }
    ::closedir(d);
    return out;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

size_t lineCount(const std::optional<std::string>& content) {
    return content ? reliability::incomingLines(*content).size() : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string ledgerPath, data, before;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--ledger") ledgerPath = argv[i + 1];
        else if (opt == "--data") data = argv[i + 1];
        else if (opt == "--before") before = argv[i + 1];
    }
    if (ledgerPath.empty() || data.empty() || before.empty()) {
        std::cerr << "usage: rel_check --ledger LEDGER --data DATADIR --before SNAPSHOTDIR\n";
        return 2;
    }
    if (data.back() != '/') data += '/';
    if (before.back() != '/') before += '/';

    const auto ledgerText = readFile(ledgerPath);
    if (!ledgerText || ::access(ledgerPath.c_str(), R_OK) != 0) {
        std::cerr << "rel_check: cannot read the ledger " << ledgerPath << '\n';
        return 2;
    }
    for (const auto& dir : {data, before})
        if (!isDirectory(dir)) {
            std::cerr << "rel_check: not a directory: " << dir << '\n';
            return 2;
        }

    reliability::DataDirState after;
    after.outgoing = outgoingIn(data);
    after.bookings = readFile(data + "InBookings.csv").value_or("");
    after.payments = readFile(data + "Payment.csv").value_or("");
    after.leftoverTempFiles = tempFilesIn(data);

    const auto ledger = sim::readLedgerFile(ledgerPath);
    const auto snapshot = outgoingIn(before);
    size_t acknowledged = 0, accepted = 0, lines = 0;
    for (const auto& e : ledger) {
        acknowledged += e.event == "ACK12" || e.event == "ACK13";
        accepted += e.event == "ACCEPT";
    }
    for (int kind = upload::FirstOutKind; kind <= upload::LastOutKind; ++kind)
        lines += lineCount(snapshot[kind]) + lineCount(after.outgoing[kind]);
    lines += lineCount(after.bookings) + lineCount(after.payments);
    std::cout << "checked acknowledged " << acknowledged << " accepted " << accepted << " lines " << lines << '\n';
    if (ledger.empty() || acknowledged + accepted + lines == 0) {
        std::cerr << "rel_check: nothing to check: "
                  << (ledger.empty() ? "the ledger records no exchange" : "no records, no lines") << '\n';
        return 2;
    }

    const auto violations = reliability::checkInvariants(ledger, snapshot, after);
    for (const auto& v : violations) std::cout << v << '\n';
    std::cout << "violations " << violations.size() << '\n';
    return violations.empty() ? 0 : 1;
}
