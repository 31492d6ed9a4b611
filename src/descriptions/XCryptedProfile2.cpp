#include "descriptions/XCryptedProfile2.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace quillon {

namespace fs = std::filesystem;

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
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        lastError_ = ProfileLoadError::Missing;
        return false;
    }
    // Only a regular file is read: a folder cannot be, and a FIFO or device would block or
    // never end.
    if (!fs::is_regular_file(status)) {
        lastError_ = ProfileLoadError::Unreadable;
        return false;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in) {
        lastError_ = ProfileLoadError::Unreadable;
        return false;
    }
    // The header is checked against the size before the rest is read, so a large file that is
    // not a profile file costs nothing.
    std::uint8_t header[kProfileHeaderSize] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    if (const auto e = CheckProfileHeader(header, static_cast<std::size_t>(in.gcount()), size);
        e != ProfileLoadError::None) {
        lastError_ = e;
        return false;
    }
    std::vector<std::uint8_t> image(static_cast<std::size_t>(size));
    std::copy(header, header + sizeof header, image.begin());
    in.read(reinterpret_cast<char*>(image.data() + sizeof header),
            static_cast<std::streamsize>(size - sizeof header));
    if (static_cast<std::uintmax_t>(in.gcount()) != size - sizeof header) {
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
