#include "upload/SentLinesMemory.h"

#include <array>
#include <cinttypes>
#include <cstdio>

namespace ostrell::upload {

uint64_t hashLeadingLines(const std::vector<std::string>& lines, size_t count) {
    uint64_t hash = 14695981039346656037ULL;
    const auto mix = [&](unsigned char c) {
        hash ^= c;
        hash *= 1099511628211ULL;
    };
    for (size_t n = 0; n < count && n < lines.size(); ++n) {
        for (const char c : lines[n]) mix(static_cast<unsigned char>(c));
        mix('\r');
        mix('\n');
    }
    return hash;
}

std::string noteText(const SentLinesNote& note) {
    std::array<char, 128> text{};
    std::snprintf(text.data(), text.size(), "%" PRIu64 " %" PRIu64 " %zu %016" PRIx64 "\n", note.file.device,
                  note.file.inode, note.lines, note.hash);
    return text.data();
}

std::optional<SentLinesNote> parseNote(const std::string& text) {
    SentLinesNote note;
    uint64_t lines = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNx64 "\n%n", &note.file.device,
                    &note.file.inode, &lines, &note.hash, &used) != 4 ||
        static_cast<size_t>(used) != text.size() || text != noteText({note.file, lines, note.hash}))
        return std::nullopt;
    note.lines = lines;
    return note;
}

size_t SentLinesMemory::acceptedBefore(const std::string& baseName, const std::string& path,
                                       const std::vector<std::string>& lines) {
    const std::string notePath = this->notePath(baseName);
    if (!fs_.isFile(notePath)) return 0;
    const std::optional<SentLinesNote> note = parseNote(fs_.readAll(notePath));
    if (note && note->lines <= lines.size() && note->file == fs_.identity(path) &&
        note->hash == hashLeadingLines(lines, note->lines))
        return note->lines;
    forget(baseName);
    return 0;
}

void SentLinesMemory::remember(const std::string& baseName, const std::string& path,
                               const std::vector<std::string>& lines, size_t accepted) {
    if (accepted == 0) return forget(baseName);
    const SentLinesNote note{fs_.identity(path), accepted, hashLeadingLines(lines, accepted)};
    fs_.makePrivateDirectory(stateDir_);
    // Written beside and renamed over, so a crash leaves the old note or the new one, never half of one.
    const std::string notePath = this->notePath(baseName);
    const std::string temp = notePath + ".tmp";
    fs_.writeDurable(temp, noteText(note));
    fs_.rename(temp, notePath);
    fs_.syncDirectory(stateDir_);
}

void SentLinesMemory::forget(const std::string& baseName) {
    const std::string notePath = this->notePath(baseName);
    if (!fs_.isFile(notePath)) return;
    fs_.remove(notePath);
    fs_.syncDirectory(stateDir_);
}

}  // namespace ostrell::upload
