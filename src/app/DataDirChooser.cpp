#include "app/DataDirChooser.h"

#include "errors/Trap.h"

namespace ostrell::app {

std::string replaceAll(const std::string& text, const std::string& what, const std::string& with) {
    if (what.empty()) return text;
    std::string out;
    out.reserve(text.size());
    std::string::size_type from = 0;
    for (auto at = text.find(what, from); at != std::string::npos; at = text.find(what, from)) {
        out.append(text, from, at - from).append(with);
        from = at + what.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

std::string existingFileName(const std::string& path, bool fileExists) {
    if (!fileExists) return {};
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string dataDirFromChosenFile(const std::string& path, bool fileExists) {
    const std::string name = existingFileName(path, fileExists);
    return name.empty() ? path : replaceAll(path, name, "");
}

void chooseDataDirectory(DataDirPanel& panel, platform::FileSystem& files) {
    std::optional<std::string> chosen;
    errors::passOver([&] { chosen = panel.chooseFile(ChooserTitle, ChooserFilter); });
    if (!chosen) return;
    const std::string path = *chosen;
    errors::passOver([&] { panel.setDataDirText(path); });
    bool exists = false;
    errors::passOver([&] { exists = files.isFile(path); });
    errors::passOver([&] { panel.setDataDirText(dataDirFromChosenFile(path, exists)); });
}

}  // namespace ostrell::app
