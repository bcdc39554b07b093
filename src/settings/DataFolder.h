#pragma once
#include <string>

namespace ostrell::settings {

// The folder the agent works in, as "DataDir" gives it. File names are appended to path directly.
struct DataFolder {
    std::string path;     // ends with "/"; empty when there is no folder to work in
    std::string problem;  // why there is none, for the report
};

// The one rule for "DataDir", for the agent, --status and everything that builds a path in the folder:
// a text naming an existing directory (namesDirectory) is that directory, whether or not it ends with
// "/"; an empty text, or one naming no directory, gives no folder, so nothing is read, written, sent or
// fetched beside it or in the working directory.
DataFolder dataFolderOf(const std::string& setting, bool namesDirectory);

}  // namespace ostrell::settings
