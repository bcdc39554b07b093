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

void chooseDataDirectory(Shell& panel, platform::FileSystem& files) {
    const std::optional<std::string> chosen = panel.chooseFile(ChooserTitle, ChooserFilter);
    if (!chosen) return;
    panel.setDataDirText(*chosen);
    bool exists = false;
    errors::passOver([&] { exists = files.isFile(*chosen); });
    panel.setDataDirText(dataDirFromChosenFile(*chosen, exists));
}

}  // namespace ostrell::app
