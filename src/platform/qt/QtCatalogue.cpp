#include "platform/qt/QtCatalogue.h"

#include "platform/Ports.h"

#include <QString>
#include <filesystem>

namespace quillon {

bool QtCatalogue::Load(const std::string& path) {
    std::error_code ec;
    // Only a regular file: a FIFO or a folder at that name is not a catalogue.
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    loaded_ = translator_.load(QString::fromStdString(path));
    return loaded_;
}

std::optional<std::string> QtCatalogue::FindText(std::string_view id) const {
    if (!loaded_)
        return std::nullopt;
    const QString text = translator_.translate(nullptr, std::string(id).c_str());
    if (text.isEmpty())
        return std::nullopt;
    return text.toStdString();
}

std::optional<std::string> QtCatalogue::Find(int id) const {
    return FindText("s" + std::to_string(id));
}

std::string InstallInterfaceCatalogue(QtCatalogue& catalogue, const std::string& baseName) {
    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec)
        return {};
    const std::string path = LoadInterfaceResources(baseName, self, catalogue);
    if (!path.empty())
        CurrentPorts().strings = &catalogue;
    return path;
}

} // namespace quillon
