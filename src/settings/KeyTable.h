#pragma once
#include <string>

// Every settings key the agent touches, with its section and the default it reads with.
// The host product shares this store: names, sections and defaults must stay exactly as they are.
namespace ostrell::settings {

inline constexpr const char* App = "BKX";

namespace section {
inline constexpr const char* Ostrell = "Ostrell";
inline constexpr const char* Application = "Application";
inline constexpr const char* Version = "Version";
inline constexpr const char* VRX1 = "VRX1";
}  // namespace section

// Installation values: the server used when "IPadd" is empty, and the shown default local address.
inline constexpr const char* DefaultServerAddress = "127.0.0.1";
inline constexpr const char* DefaultLocalAddress = "127.0.0.1";
inline constexpr int DefaultServerPort = 6667;
// The host version assumed when none is stored, and the lowest host version we run beside.
inline constexpr const char* DefaultHostVersion = "0.0.0";
inline constexpr const char* MinimumHostVersion = "2.3.119";

struct Key {
    std::string section;
    std::string name;
    std::string defaultValue;
};

namespace keys {
inline Key endFlag() { return {section::Application, "EndFlag", ""}; }
inline Key dirName() { return {section::Application, "DirName", ""}; }
inline Key hostVersion() { return {section::Version, "Brannhall", DefaultHostVersion}; }
inline Key ownVersion(const std::string& programName) { return {section::Version, programName, ""}; }
inline Key dataDir() { return {section::Ostrell, "DataDir", ""}; }
inline Key timeout() { return {section::Ostrell, "TimeOut", "15"}; }
inline Key loopLength() { return {section::Ostrell, "Loop", "10"}; }
inline Key exitMode() { return {section::Ostrell, "Exit", "No"}; }
// The BK number at this index of Parameters::bkNumbers (0 to 4); the keys count from 1.
inline Key bkNumber(size_t index) { return {section::Ostrell, "LoNumber" + std::to_string(index + 1), ""}; }
inline Key uploadCommand() { return {section::Ostrell, "UpLoad", ""}; }
inline Key serverAddress() { return {section::Ostrell, "IPadd", ""}; }
inline Key serverPort() { return {section::Ostrell, "IPport", "0"}; }
inline Key localPort() { return {section::Ostrell, "IPLocalport", "0"}; }
inline Key localIp() { return {section::Ostrell, "LocalIP", DefaultLocalAddress}; }
inline Key lastTry() { return {section::Ostrell, "LastTry", ""}; }
inline Key lastSuccess() { return {section::Ostrell, "Last", ""}; }
inline Key batch(int kind) { return {section::Ostrell, "Batch" + std::to_string(kind), "0"}; }
// Minutes without a cycle reaching the server before the owner is warned; 0: never.
inline Key alertAfter() { return {section::Ostrell, "AlertAfter", "30"}; }
// The link to the server: "Yes" in any case for TLS; the trusted PEM file (none: the system's), the
// server key's pin, the name to verify (none: "IPadd"). Read at start only.
inline Key tls() { return {section::Ostrell, "TLS", ""}; }
inline Key tlsAuthority() { return {section::Ostrell, "TLSCA", ""}; }
inline Key tlsPin() { return {section::Ostrell, "TLSPin", ""}; }
inline Key tlsName() { return {section::Ostrell, "TLSName", ""}; }
inline Key database() { return {section::VRX1, "DBase", ""}; }
}  // namespace keys

}  // namespace ostrell::settings
