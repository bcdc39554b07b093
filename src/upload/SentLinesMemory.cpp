#include "upload/SentLinesMemory.h"

#include <array>
#include <cinttypes>
#include <cstdio>

namespace ostrell::upload {

namespace {
constexpr size_t EntryLength = 17;  // 16 hex digits and LF
}

uint64_t hashLine(const std::string& line) {
    uint64_t hash = 14695981039346656037ULL;
    for (const char c : line) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

std::string noteHeader(const platform::FileIdentity& file) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%" PRIu64 " %" PRIu64 "\n", file.device, file.inode);
    return text.data();
}

std::string noteEntry(const std::string& line) {
    std::array<char, EntryLength + 1> text{};
    std::snprintf(text.data(), text.size(), "%016" PRIx64 "\n", hashLine(line));
    return text.data();
}

std::optional<size_t> notedLines(const std::string& text, const platform::FileIdentity& file,
                                 const std::vector<std::string>& lines) {
    const std::string header = noteHeader(file);
    if (text.compare(0, header.size(), header) != 0) return std::nullopt;
    size_t count = 0;
    for (size_t at = header.size(); at + EntryLength <= text.size(); at += EntryLength, ++count)
        if (count >= lines.size() || text.compare(at, EntryLength, noteEntry(lines[count])) != 0) return std::nullopt;
    return count;
}

size_t SentLinesMemory::acceptedBefore(const std::string& baseName, const platform::FileIdentity& file,
                                       const std::vector<std::string>& lines) {
    close();
    heldBaseName_.clear();
    const std::string notePath = this->notePath(baseName);
    if (!fs_.isFile(notePath)) return 0;
    const std::string text = fs_.readAll(notePath);
    const std::optional<size_t> noted = notedLines(text, file, lines);
    if (!noted) {
        forget(baseName);
        return 0;
    }
    // A note cut short inside an entry is written afresh at the next entry.
    if ((text.size() - noteHeader(file).size()) % EntryLength == 0) {
        heldBaseName_ = baseName;
        heldFile_ = file;
        heldLines_ = *noted;
    }
    return *noted;
}

void SentLinesMemory::noteAccepted(const std::string& baseName, const platform::FileIdentity& file,
                                   const std::vector<std::string>& lines, size_t accepted) {
    if (accepted == 0 || accepted > lines.size()) return;
    if (heldBaseName_ == baseName && heldFile_ == file && heldLines_ + 1 == accepted) {
        if (!open_) open_ = fs_.openForAppending(notePath(baseName));
        open_->append(noteEntry(lines[accepted - 1]));
        ++heldLines_;
        return;
    }
    close();
    heldBaseName_.clear();
    fs_.makePrivateDirectory(stateDir_);
    std::string text = noteHeader(file);
    for (size_t n = 0; n < accepted; ++n) text += noteEntry(lines[n]);
    // Written beside and renamed over, so a crash leaves the old note or the new one, never half of one.
    const std::string temp = notePath(baseName) + ".tmp";
    fs_.writeDurable(temp, text);
    fs_.rename(temp, notePath(baseName));
    heldBaseName_ = baseName;
    heldFile_ = file;
    heldLines_ = accepted;
}

void SentLinesMemory::forget(const std::string& baseName) {
    if (heldBaseName_ == baseName) {
        close();
        heldBaseName_.clear();
    }
    const std::string notePath = this->notePath(baseName);
    if (!fs_.isFile(notePath)) return;
    fs_.remove(notePath);
    fs_.syncDirectory(stateDir_);
}

}  // namespace ostrell::upload
