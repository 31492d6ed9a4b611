#include "platform/qt/QtCatalogue.h"

#include "platform/Ports.h"

#include "support/FileDescriptor.h"
#include "support/Text.h"

#include <QString>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace quillon {
namespace {

// Catalogues are small; a larger file is no catalogue of ours.
constexpr off_t kMaxCatalogue = 16 << 20;
// The profile names' letter (string 500).
constexpr int kLetterId = 500;

// Whether only its owner, this user or root, may write what `st` describes.
bool WrittenOnlyByOwner(const struct stat& st) {
    return (st.st_uid == 0 || st.st_uid == ::geteuid()) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool IsOneLetter(const std::string& text) {
    const std::size_t n = Utf8SequenceLength(text);
    if (n == 0 || n != text.size())
        return false;
    const auto c = static_cast<unsigned char>(text[0]);
    return n > 1 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

bool QtCatalogue::Load(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat folderStat {};
    if (::stat(folder.c_str(), &folderStat) != 0 || !WrittenOnlyByOwner(folderStat))
        return false;
    // Only a regular file, opened once: a FIFO, a folder or a link at that name is no catalogue.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || !WrittenOnlyByOwner(st) ||
        st.st_size > kMaxCatalogue)
        return false;
    QByteArray data(static_cast<qsizetype>(st.st_size), Qt::Uninitialized);
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = ::read(fd.Get(), data.data() + done, static_cast<std::size_t>(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    data_ = std::move(data);
    loaded_ = translator_.load(reinterpret_cast<const uchar*>(data_.constData()), static_cast<int>(data_.size()));
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
    auto text = FindText("s" + std::to_string(id));
    if (id == kLetterId && text && !IsOneLetter(*text))
        return std::nullopt; // the built-in letter: an empty or longer one would break every name
    return text;
}

std::string InstallInterfaceCatalogue(QtCatalogue& catalogue, const std::string& baseName) {
    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec)
        return {};
    std::string path = LoadInterfaceResources(baseName, self, catalogue);
    // Installed from the packages, the catalogues are shared data (/usr/share/quillon), not
    // beside the programs.
    if (path.empty()) {
        const std::string base = baseName.empty() ? std::filesystem::path(self).stem().string() : baseName;
        const std::string packaged = FindResourceLibrary(base, QUILLON_DATA_DIR);
        if (!packaged.empty() && catalogue.Load(packaged))
            path = packaged;
    }
    if (!path.empty())
        CurrentPorts().strings = &catalogue;
    return path;
}

} // namespace quillon
