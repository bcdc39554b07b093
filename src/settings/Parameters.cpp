#include "settings/Parameters.h"

namespace ostrell::settings {

DataFolder dataFolderOf(const std::string& setting, bool namesDirectory) {
    if (setting.empty())
        return {{},
                "The data directory is not set (\"DataDir\" is empty): nothing is uploaded or downloaded until it is"};
    if (!namesDirectory)
        return {{},
                "The data directory " + setting +
                    " is not a directory: nothing is uploaded or downloaded until \"DataDir\" names one"};
    return {setting.back() == '/' ? setting : setting + "/", {}};
}

}  // namespace ostrell::settings
