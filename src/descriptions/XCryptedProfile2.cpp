#include "descriptions/XCryptedProfile2.h"

#include "support/ReadUpTo.h"
#include "support/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillon {
CXCryptedProfile2::CXCryptedProfile2(int wide) {
    if (wide)
        wide_ = std::make_unique<CXCryptedProfileW2>();
    else
        narrow_ = std::make_unique<CXCryptedProfileA2>();
}

CXCryptedProfile2::~CXCryptedProfile2() = default;

CCryptedProfileImpl& CXCryptedProfile2::Impl() {
    return wide_ ? static_cast<CCryptedProfileImpl&>(*wide_)
                 : static_cast<CCryptedProfileImpl&>(*narrow_);
}

const CCryptedProfileImpl& CXCryptedProfile2::Implementation() const {
    return wide_ ? static_cast<const CCryptedProfileImpl&>(*wide_)
                 : static_cast<const CCryptedProfileImpl&>(*narrow_);
}

const std::string& CXCryptedProfile2::SourcePath() const {
    return Implementation().SourcePath();
}

bool CXCryptedProfile2::Load(const std::string& path) {
    if (loaded_ || Implementation().Size() != 0) {
        lastError_ = ProfileLoadError::AlreadyLoaded;
        return false;
    }
    // Opened once without blocking (a FIFO cannot hang the open) and read only when it is a
    // regular file: a folder cannot be, and a FIFO or a device would block or never end.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        lastError_ = errno == ENOENT || errno == ENOTDIR ? ProfileLoadError::Missing : ProfileLoadError::Unreadable;
        return false;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        lastError_ = ProfileLoadError::Unreadable;
        return false;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    // No real description file comes near this: a larger one is refused before it is read.
    if (size > kMaxProfileFile) {
        lastError_ = ProfileLoadError::TooLarge;
        return false;
    }
    // The header is checked against the size before the rest is read, so a large file that is
    // not a profile file costs nothing.
    std::vector<std::uint8_t> image(static_cast<std::size_t>(std::min<std::uint64_t>(size, kProfileHeaderSize)));
    bool failed = false;
    if (ReadUpTo(fd.Get(), image.data(), image.size(), failed) != image.size()) {
        lastError_ = ProfileLoadError::Unreadable;
        return false;
    }
    if (const auto e = CheckProfileHeader(image.data(), image.size(), size); e != ProfileLoadError::None) {
        lastError_ = e;
        return false;
    }
    image.resize(static_cast<std::size_t>(size));
    if (ReadUpTo(fd.Get(), image.data() + kProfileHeaderSize, image.size() - kProfileHeaderSize, failed) !=
        image.size() - kProfileHeaderSize) {
        lastError_ = ProfileLoadError::Unreadable;
        return false;
    }
    return LoadImage(image.data(), image.size(), path);
}

bool CXCryptedProfile2::LoadImage(const std::uint8_t* data, std::size_t size,
                                  std::string sourcePath) {
    if (loaded_ || Implementation().Size() != 0) {
        lastError_ = ProfileLoadError::AlreadyLoaded;
        return false;
    }
    if (size > kMaxProfileFile) {
        lastError_ = ProfileLoadError::TooLarge;
        return false;
    }
    std::vector<std::uint8_t> stream;
    lastError_ = UnwrapProfileStream(data, size, stream);
    if (lastError_ != ProfileLoadError::None)
        return false;
    // Read into a fresh implementation, kept only when the whole stream was sound.
    std::unique_ptr<CXCryptedProfileW2> wide;
    std::unique_ptr<CXCryptedProfileA2> narrow;
    CCryptedProfileImpl* fresh = nullptr;
    if (wide_)
        fresh = (wide = std::make_unique<CXCryptedProfileW2>()).get();
    else
        fresh = (narrow = std::make_unique<CXCryptedProfileA2>()).get();
    lastError_ = fresh->ReadStream(stream.data(), stream.size());
    if (lastError_ != ProfileLoadError::None)
        return false;
    fresh->SetSourcePath(std::move(sourcePath));
    if (wide_)
        wide_ = std::move(wide);
    else
        narrow_ = std::move(narrow);
    loaded_ = true;
    return true;
}

std::int32_t CXCryptedProfile2::GetSectionCount() const {
    return Implementation().SectionCount();
}

std::int32_t CXCryptedProfile2::GetEntryCount(std::string_view section) const {
    const CCryptedSection* s = Implementation().FindSection(section);
    return s ? s->EntryCount() : 0;
}

std::string CXCryptedProfile2::GetSectionName(std::int32_t index) const {
    if (index < 0)
        return {};
    const auto* node = Implementation().AtIndex(static_cast<std::size_t>(index));
    return node ? node->name : std::string();
}

std::string CXCryptedProfile2::GetEntryName(std::string_view section, std::int32_t index) const {
    const CCryptedSection* s = Implementation().FindSection(section);
    if (!s || index < 0)
        return {};
    const auto* node = s->AtIndex(static_cast<std::size_t>(index));
    return node ? node->name : std::string();
}

char CXCryptedProfile2::GetEntryTypeAt(std::string_view section, std::int32_t index) const {
    const CCryptedSection* s = Implementation().FindSection(section);
    if (!s || index < 0)
        return 0;
    const auto* node = s->AtIndex(static_cast<std::size_t>(index));
    return node ? node->value->Type() : char(0);
}

char CXCryptedProfile2::GetEntryType(std::string_view section, std::string_view name) const {
    const CProfileValue* v = FindValue(section, name);
    return v ? v->Type() : char(0);
}

std::int32_t CXCryptedProfile2::GetInt(std::string_view section, std::string_view name,
                                       std::int32_t defaultValue) const {
    const CProfileValue* v = FindValue(section, name);
    if (!v || (v->Type() != kTypeInt && v->Type() != kTypeBool))
        return defaultValue;
    return v->Number();
}

std::string CXCryptedProfile2::GetString(std::string_view section, std::string_view name) const {
    const CProfileValue* v = FindValue(section, name);
    return v && v->Type() == kTypeString ? v->Text() : std::string();
}

int CXCryptedProfile2::GetBool(std::string_view section, std::string_view name) const {
    const CProfileValue* v = FindValue(section, name);
    if (!v || (v->Type() != kTypeInt && v->Type() != kTypeBool))
        return 0;
    return v->Number() != 0 ? 1 : 0;
}

const CProfileValue* CXCryptedProfile2::FindValue(std::string_view section,
                                                  std::string_view name) const {
    return Implementation().FindValue(section, name);
}

void CXCryptedProfile2::AddSection(std::string_view name) {
    Impl().AddSection(name);
}

void CXCryptedProfile2::AddEntry(std::string_view section, std::string_view name,
                                 const CProfileValue& value) {
    CCryptedProfileImpl& impl = Impl();
    const std::string key = impl.Adapt(NormalizeProfileText(section));
    CCryptedSection* s = impl.Find(key);
    if (!s)
        s = &impl.AddSection(key);
    CProfileValue stored = value;
    if (value.Type() == kTypeString)
        stored = CProfileValue::String(impl.Adapt(value.Text()));
    s->Add(impl.Adapt(NormalizeProfileText(name)),
           std::make_unique<CProfileValue>(std::move(stored)));
}

} // namespace quillon
