#pragma once
#include <optional>
#include <string>

#include "app/Shell.h"
#include "platform/FileSystem.h"

namespace ostrell::app {

inline constexpr const char* ChooserTitle = "Find Remote Database";
inline constexpr const char* ChooserFilter = " Data Directory (*.*)|*.*";

// Every occurrence of `what` in `text` replaced by `with`, scanning from the first character, no limit.
std::string replaceAll(const std::string& text, const std::string& what, const std::string& with);

// The name part of a path (after its last "/"), given only when the file exists, as the platform's
// file-name lookup does; empty otherwise.
std::string existingFileName(const std::string& path, bool fileExists);

// What the data-directory box shows for a chosen file: the path with every occurrence of the file's name
// removed, which leaves its directory with the trailing "/". A name that also occurs in the directory
// part goes there too. A path that names no existing file stays whole.
std::string dataDirFromChosenFile(const std::string& path, bool fileExists);

// The folder button. Cancelling the chooser leaves the box as it was. Nothing is saved and nothing is
// reported: a failing look at the file is passed over silently.
void chooseDataDirectory(Shell& panel, platform::FileSystem& files);

}  // namespace ostrell::app
