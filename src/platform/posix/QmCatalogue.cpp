#include "platform/posix/QmCatalogue.h"

#include "platform/Ports.h"

#include "support/ReadUpTo.h"
#include "support/FileDescriptor.h"
#include "support/Text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The file's opening bytes, then blocks of a tag byte and a big-endian 32-bit length.
constexpr unsigned char kMagic[16] = {0x3c, 0xb8, 0x64, 0x18, 0xca, 0xef, 0x9c, 0x95,
                                      0xcd, 0x21, 0x1c, 0xbf, 0x60, 0xa1, 0xbd, 0xdd};
constexpr unsigned char kMessagesBlock = 0x69;
// The fields of a message in the messages block; each but the end and the first obsolete one
// carries a 32-bit length and that many bytes.
enum Field : unsigned char {
    kEnd = 1,
    kSourceText16 = 2,
    kTranslation = 3,   // UTF-16BE; the length 0xFFFFFFFF: no translation
    kContext16 = 4,
    kObsolete1 = 5,     // four bytes, no length
    kSourceText = 6,    // the id, for an id-based catalogue
    kContext = 7,
    kComment = 8,
    kObsolete2 = 9,     // nothing
};

std::uint32_t ReadBe32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// A bounded reader of the messages block.
class Reader {
public:
    Reader(const unsigned char* p, std::size_t size) : p_(p), end_(p + size) {}
    bool AtEnd() const { return p_ == end_; }
    bool Byte(unsigned char& b) {
        if (p_ == end_)
            return false;
        b = *p_++;
        return true;
    }
    bool Skip(std::size_t n) {
        if (std::size_t(end_ - p_) < n)
            return false;
        p_ += n;
        return true;
    }
    // A 32-bit length and that many bytes; `null` for the length 0xFFFFFFFF.
    bool Counted(std::string_view& bytes, bool& null) {
        if (std::size_t(end_ - p_) < 4)
            return false;
        const std::uint32_t n = ReadBe32(p_);
        p_ += 4;
        null = n == 0xFFFFFFFFu;
        if (null) {
            bytes = {};
            return true;
        }
        if (std::size_t(end_ - p_) < n)
            return false;
        bytes = {reinterpret_cast<const char*>(p_), n};
        p_ += n;
        return true;
    }

private:
    const unsigned char* p_;
    const unsigned char* end_;
};

// UTF-16BE bytes (an even count) as UTF-8.
std::string FromUtf16Be(std::string_view bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) << 8 |
                                         static_cast<unsigned char>(bytes[2 * i + 1]));
    return Utf16ToUtf8(units);
}

// The id-based messages (no context, no comment) of a messages block into `texts`; false when
// the block is malformed.
bool ReadMessages(Reader in, std::map<std::string, std::string, std::less<>>& texts) {
    while (!in.AtEnd()) {
        std::string_view id, context, comment, translation;
        bool hasId = false, hasTranslation = false;
        for (unsigned char field = 0; field != kEnd;) {
            if (!in.Byte(field))
                return false;
            std::string_view bytes;
            bool null = false;
            switch (field) {
            case kEnd:
            case kObsolete2:
                break;
            case kObsolete1:
                if (!in.Skip(4))
                    return false;
                break;
            case kTranslation:
                if (!in.Counted(bytes, null) || bytes.size() % 2 != 0)
                    return false;
                if (!null && !hasTranslation) { // a plural's further forms are not asked for
                    translation = bytes;
                    hasTranslation = true;
                }
                break;
            case kSourceText:
                if (!in.Counted(id, null))
                    return false;
                hasId = !null;
                break;
            case kContext:
                if (!in.Counted(context, null))
                    return false;
                break;
            case kComment:
                if (!in.Counted(comment, null))
                    return false;
                break;
            case kSourceText16:
            case kContext16:
                if (!in.Counted(bytes, null))
                    return false;
                break;
            default:
                return false;
            }
        }
        if (hasId && hasTranslation && context.empty() && comment.empty())
            texts.emplace(std::string(id), FromUtf16Be(translation));
    }
    return true;
}

} // namespace

bool QmCatalogue::Parse(const unsigned char* data, std::size_t size) {
    texts_.clear();
    loaded_ = false;
    if (size < sizeof kMagic || std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return false;
    std::map<std::string, std::string, std::less<>> texts;
    bool sawMessages = false;
    for (std::size_t at = sizeof kMagic; at < size;) {
        if (size - at < 5)
            return false;
        const unsigned char tag = data[at];
        const std::uint32_t length = ReadBe32(data + at + 1);
        at += 5;
        if (size - at < length)
            return false;
        if (tag == kMessagesBlock) {
            if (!ReadMessages(Reader(data + at, length), texts))
                return false;
            sawMessages = true;
        }
        at += length;
    }
    if (!sawMessages)
        return false;
    texts_ = std::move(texts);
    loaded_ = true;
    return true;
}

bool QmCatalogue::Load(const std::string& path) {
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
    std::vector<unsigned char> data(static_cast<std::size_t>(st.st_size));
    bool failed = false;
    if (ReadUpTo(fd.Get(), data.data(), data.size(), failed) != data.size())
        return false;
    return Parse(data.data(), data.size());
}

std::optional<std::string> QmCatalogue::FindText(std::string_view id) const {
    const auto it = texts_.find(id);
    if (it == texts_.end() || it->second.empty())
        return std::nullopt;
    return it->second;
}

std::optional<std::string> QmCatalogue::Find(int id) const {
    auto text = FindText("s" + std::to_string(id));
    if (id == kLetterId && text && !IsOneLetter(*text))
        return std::nullopt; // the built-in letter: an empty or longer one would break every name
    return text;
}

std::string InstallInterfaceCatalogue(QmCatalogue& catalogue, const std::string& baseName) {
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
