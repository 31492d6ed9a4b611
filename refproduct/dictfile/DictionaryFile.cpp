#include "DictionaryFile.h"

#include "support/Crc32.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaldo {
namespace {

constexpr char kMagic[4] = {'K', 'L', 'D', 'X'};
constexpr std::size_t kFixedSize = 8 + kHeaderBlockSize;   // magic, version, header length, block
constexpr std::size_t kLinkNumberAt = 0, kLinkCodeAt = 4, kLevelAt = 22, kDirectionAt = 26, kGuidAt = 30;
constexpr std::size_t kGuidSize = 38;

std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void AppendU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(v >> (8 * i)));
}
void AppendU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

// A cursor over the bytes before the CRC trailer; every read is checked against the end.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }
    bool U8(std::uint8_t& v) {
        if (Left() < 1) return false;
        v = *p_++;
        return true;
    }
    bool U16(std::uint16_t& v) {
        if (Left() < 2) return false;
        v = ReadU16(p_);
        p_ += 2;
        return true;
    }
    bool U32(std::uint32_t& v) {
        if (Left() < 4) return false;
        v = ReadU32(p_);
        p_ += 4;
        return true;
    }
    bool Bytes(std::size_t n, std::string& out) {
        if (Left() < n) return false;
        out.assign(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return true;
    }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

} // namespace

DictionaryFile::DictionaryFile() { SetFormatLevel(0); }

std::int32_t DictionaryFile::LinkNumber() const { return static_cast<std::int32_t>(ReadU32(&header_[kLinkNumberAt])); }
void DictionaryFile::SetLinkNumber(std::int32_t value) { PutU32(&header_[kLinkNumberAt], static_cast<std::uint32_t>(value)); }
std::uint8_t DictionaryFile::LinkCode() const { return header_[kLinkCodeAt]; }
void DictionaryFile::SetLinkCode(std::uint8_t value) { header_[kLinkCodeAt] = value; }
std::int32_t DictionaryFile::FormatLevel() const { return static_cast<std::int32_t>(ReadU32(&header_[kLevelAt])); }
void DictionaryFile::SetFormatLevel(std::int32_t value) { PutU32(&header_[kLevelAt], static_cast<std::uint32_t>(value)); }
std::uint32_t DictionaryFile::DirectionId() const { return ReadU32(&header_[kDirectionAt]); }
void DictionaryFile::SetDirectionId(std::uint32_t value) { PutU32(&header_[kDirectionAt], value); }

std::string DictionaryFile::Guid() const {
    std::string out;
    for (std::size_t i = 0; i < kGuidSize && header_[kGuidAt + i] != 0; ++i)
        out.push_back(static_cast<char>(header_[kGuidAt + i]));
    return out;
}

void DictionaryFile::SetGuid(std::string_view guid) {
    for (std::size_t i = 0; i < kGuidSize; ++i)
        header_[kGuidAt + i] = i < guid.size() ? static_cast<std::uint8_t>(guid[i]) : 0;
}

std::string DictionaryFile::TitleBytes() const {
    std::string out;
    for (std::size_t i = 0; i < kTitleSize && header_[kTitleOffset + i] != 0; ++i)
        out.push_back(static_cast<char>(header_[kTitleOffset + i]));
    return out;
}

void DictionaryFile::SetTitleBytes(std::string_view cp1251) {
    for (std::size_t i = 0; i < kTitleSize; ++i)
        header_[kTitleOffset + i] = i < cp1251.size() && i + 1 < kTitleSize ? static_cast<std::uint8_t>(cp1251[i]) : 0;
}

const std::vector<std::uint8_t>* DictionaryFile::FindProperty(std::string_view name) const {
    for (const auto& [n, bytes] : properties_)
        if (n == name)
            return &bytes;
    return nullptr;
}

bool DictionaryFile::SetProperty(std::string_view name, std::vector<std::uint8_t> bytes) {
    if (name.empty() || name.size() > kMaxNameLength)
        return false;
    for (auto& [n, value] : properties_)
        if (n == name) {
            value = std::move(bytes);
            return true;
        }
    properties_.emplace_back(std::string(name), std::move(bytes));
    return true;
}

std::string SerializeDictionary(const DictionaryFile& file) {
    std::string out(kMagic, 4);
    AppendU16(out, file.Version());
    AppendU16(out, static_cast<std::uint16_t>(kHeaderBlockSize));
    out.append(reinterpret_cast<const char*>(file.Header().data()), kHeaderBlockSize);
    if (file.Version() >= kPropertiesVersion) {
        AppendU32(out, static_cast<std::uint32_t>(file.Properties().size()));
        for (const auto& [name, bytes] : file.Properties()) {
            out.push_back(static_cast<char>(name.size()));
            out += name;
            AppendU32(out, static_cast<std::uint32_t>(bytes.size()));
            out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        }
    }
    AppendU32(out, static_cast<std::uint32_t>(file.Entries().size()));
    for (const auto& entry : file.Entries()) {
        const std::size_t wordSize = std::min<std::size_t>(entry.word.size(), 0xFFFF);
        AppendU16(out, static_cast<std::uint16_t>(wordSize));
        out.append(entry.word, 0, wordSize);
        const std::size_t lineCount = std::min<std::size_t>(entry.lines.size(), 0xFFFF);
        AppendU16(out, static_cast<std::uint16_t>(lineCount));
        for (std::size_t i = 0; i < lineCount; ++i) {
            AppendU32(out, static_cast<std::uint32_t>(entry.lines[i].size()));
            out += entry.lines[i];
        }
    }
    AppendU32(out, quillon::Crc32::Of(out.data(), out.size()));
    return out;
}

std::optional<DictionaryFile> ParseDictionary(std::string_view bytes, std::string& error) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (bytes.size() < kFixedSize + 8 || std::memcmp(data, kMagic, 4) != 0) {
        error = bytes.size() < 4 || std::memcmp(data, kMagic, 4) != 0 ? "not a dictionary file" : "file is truncated";
        return std::nullopt;
    }
    if (bytes.size() > kMaxFileSize) {
        error = "file is too large";
        return std::nullopt;
    }
    const std::size_t bodyEnd = bytes.size() - 4;
    if (quillon::Crc32::Of(data, bodyEnd) != ReadU32(data + bodyEnd)) {
        error = "checksum mismatch (file is damaged)";
        return std::nullopt;
    }
    DictionaryFile file;
    const std::uint16_t version = ReadU16(data + 4);
    if (version < kMinDictVersion || version > kMaxDictVersion) {
        error = "unsupported format version " + std::to_string(version);
        return std::nullopt;
    }
    if (ReadU16(data + 6) != kHeaderBlockSize) {
        error = "unexpected header block length";
        return std::nullopt;
    }
    file.SetVersion(version);
    std::array<std::uint8_t, kHeaderBlockSize> block{};
    std::memcpy(block.data(), data + 8, kHeaderBlockSize);
    file.SetHeader(block);

    Reader in(data + kFixedSize, bodyEnd - kFixedSize);
    if (version >= kPropertiesVersion) {
        std::uint32_t count = 0;
        if (!in.U32(count) || count > in.Left() / 6) {   // a property takes at least 6 bytes
            error = "bad property count";
            return std::nullopt;
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint8_t nameSize = 0;
            std::uint32_t valueSize = 0;
            std::string name, value;
            if (!in.U8(nameSize) || nameSize == 0 || !in.Bytes(nameSize, name) || !in.U32(valueSize) ||
                !in.Bytes(valueSize, value)) {
                error = "property " + std::to_string(i) + " runs past the end of the file";
                return std::nullopt;
            }
            if (file.FindProperty(name)) {
                error = "property \"" + name + "\" appears twice";
                return std::nullopt;
            }
            file.SetProperty(name, std::vector<std::uint8_t>(value.begin(), value.end()));
        }
    }
    std::uint32_t entries = 0;
    if (!in.U32(entries) || entries > in.Left() / 4) {   // an entry takes at least 4 bytes
        error = "bad entry count";
        return std::nullopt;
    }
    file.Entries().reserve(entries);
    for (std::uint32_t i = 0; i < entries; ++i) {
        DictionaryEntry entry;
        std::uint16_t wordSize = 0, lines = 0;
        if (!in.U16(wordSize) || !in.Bytes(wordSize, entry.word) || !in.U16(lines) || lines > in.Left() / 4) {
            error = "entry " + std::to_string(i) + " runs past the end of the file";
            return std::nullopt;
        }
        for (std::uint16_t l = 0; l < lines; ++l) {
            std::uint32_t size = 0;
            std::string line;
            if (!in.U32(size) || !in.Bytes(size, line)) {
                error = "entry " + std::to_string(i) + " runs past the end of the file";
                return std::nullopt;
            }
            entry.lines.push_back(std::move(line));
        }
        file.Entries().push_back(std::move(entry));
    }
    if (in.Left() != 0) {
        error = "unexpected bytes after the last entry";
        return std::nullopt;
    }
    return file;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > limit) {
        error = path + ": not a regular file of acceptable size";
        ::close(fd);
        return false;
    }
    bytes.assign(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done != bytes.size()) {
        error = path + ": short read";
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    std::string temp = folder + "/.kaldo-tmp-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = path + ": cannot create a temporary file: " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::optional<DictionaryFile> ReadDictionaryFile(const std::string& path, std::string& error) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error))
        return std::nullopt;
    auto file = ParseDictionary(bytes, error);
    if (!file)
        error = path + ": " + error;
    return file;
}

bool WriteDictionaryFile(const std::string& path, const DictionaryFile& file, std::string& error) {
    return WriteFileAtomically(path, SerializeDictionary(file), error);
}

} // namespace kaldo
