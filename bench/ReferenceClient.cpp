// The minimal client of the benchmarks: only what the Veltrana line protocol itself needs, with blocking
// POSIX sockets and files. Download: each record appended to its incoming file and fsynced, then
// acknowledged; upload: each line sent and its reply read. No transfer log, no trace, no checks beyond
// the protocol's, so its pace is the limit the agent is measured against.
//
//   ostrell_reference_client --port P --data DIR/ --bk BK [--poll-ms N] [--max-records N]
//   ostrell_reference_client --port P --data DIR/ --bk BK --upload FILE --kind K [--poll-ms N] [--max-records N]
//
// Download: bookings then payments of one BK number until "NONE". Upload: every line of FILE as a record
// of kind K, then the file is deleted. --poll-ms makes each reply be noticed only after a fixed sleep, the
// way a client that polls on a fixed period sees it. Prints "records N" on success.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "reference client: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

struct Options {
    int port = 0;
    std::string data;
    std::string bk;
    std::string upload;
    int kind = 6;
    int pollMs = 0;
    long maxRecords = -1;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--port") o.port = std::atoi(value.c_str());
        else if (name == "--data") o.data = value;
        else if (name == "--bk") o.bk = value;
        else if (name == "--upload") o.upload = value;
        else if (name == "--kind") o.kind = std::atoi(value.c_str());
        else if (name == "--poll-ms") o.pollMs = std::atoi(value.c_str());
        else if (name == "--max-records") o.maxRecords = std::atol(value.c_str());
        else {
            std::fprintf(stderr, "reference client: unknown option %s\n", name.c_str());
            std::exit(2);
        }
    }
    return o;
}

class Link {
public:
    Link(int port, int pollMs) : pollMs_(pollMs) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd_ < 0) fail("socket");
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) fail("connect");
    }
    ~Link() { ::close(fd_); }

    void send(const std::string& line) {
        const std::string bytes = line + "\n";
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0) fail("send");
            done += static_cast<size_t>(n);
        }
    }

    // The next line without its CR LF.
    std::string reply() {
        if (pollMs_ > 0) ::usleep(static_cast<useconds_t>(pollMs_) * 1000);
        for (;;) {
            const size_t lf = buffer_.find('\n');
            if (lf != std::string::npos) {
                std::string line = buffer_.substr(0, lf);
                buffer_.erase(0, lf + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return line;
            }
            std::array<char, 65536> chunk{};
            const ssize_t n = ::read(fd_, chunk.data(), chunk.size());
            if (n <= 0) fail("connection closed");
            buffer_.append(chunk.data(), static_cast<size_t>(n));
        }
    }

    std::string ask(const std::string& line) {
        send(line);
        return reply();
    }

private:
    int fd_ = -1;
    int pollMs_ = 0;
    std::string buffer_;
};

void appendDurably(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) fail("open " + path);
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) fail("write " + path);
    if (::fsync(fd) != 0) fail("fsync " + path);
    if (::close(fd) != 0) fail("close " + path);
}

// Comma-separated fields, commas inside double quotes kept, quotes dropped.
std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) out.emplace_back();
        else out.back() += c;
    }
    return out;
}

bool hasNone(const std::string& reply) {
    std::string upper = reply;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("NONE") != std::string::npos;
}

long download(Link& link, const Options& o) {
    struct Phase {
        const char* type;
        const char* ack;
        const char* file;
        size_t numberField;  // 0-based
    };
    const auto phases = std::to_array<Phase>({{"10", "12|", "InBookings.csv", 5}, {"11", "13|", "Payment.csv", 1}});
    long records = 0;
    for (const Phase& p : phases) {
        const std::string request = std::string(p.type) + "|" + o.bk;
        while (o.maxRecords < 0 || records < o.maxRecords) {
            const std::string reply = link.ask(request);
            if (reply.find(p.type) == std::string::npos || reply.rfind("BAD", 0) == 0) return -1;
            if (hasNone(reply)) break;
            const size_t quote = reply.find('"');
            const std::string line = quote == std::string::npos ? reply : reply.substr(quote);
            const std::vector<std::string> f = fields(line);
            const long number = f.size() > p.numberField ? std::atol(f[p.numberField].c_str()) : 0;
            appendDurably(o.data + p.file, line + "\r\n");
            link.ask(p.ack + std::to_string(number));
            ++records;
        }
    }
    return records;
}

long upload(Link& link, const Options& o) {
    std::string content;
    {
        const int fd = ::open(o.upload.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) fail("open " + o.upload);
        std::array<char, 65536> chunk{};
        for (ssize_t n; (n = ::read(fd, chunk.data(), chunk.size())) > 0;)
            content.append(chunk.data(), static_cast<size_t>(n));
        ::close(fd);
    }
    const std::string kind = std::to_string(o.kind);
    long records = 0;
    size_t start = 0;
    while (start < content.size() && (o.maxRecords < 0 || records < o.maxRecords)) {
        size_t end = content.find("\r\n", start);
        if (end == std::string::npos) end = content.size();
        // Commas outside quotes become bars, quotes go.
        std::string wire = kind + "|";
        bool quoted = false;
        for (size_t i = start; i < end; ++i) {
            const char c = content[i];
            if (c == '"') quoted = !quoted;
            else wire += c == ',' && !quoted ? '|' : c;
        }
        start = end + 2;
        const std::string reply = link.ask(wire);
        if (reply.find(kind + "|SUCCESS") == std::string::npos) return -1;
        ++records;
    }
    if (o.maxRecords < 0) {
        if (::unlink(o.upload.c_str()) != 0) fail("delete " + o.upload);
        const int dir = ::open(o.data.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0 || ::fsync(dir) != 0) fail("sync " + o.data);
        ::close(dir);
    }
    return records;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    Link link(o.port, o.pollMs);
    link.ask("tolvane|QHT514");
    const long records = o.upload.empty() ? download(link, o) : upload(link, o);
    link.send("quit");
    if (records < 0) {
        std::fprintf(stderr, "reference client: unexpected reply\n");
        return 1;
    }
    std::printf("records %ld\n", records);
    return 0;
}
