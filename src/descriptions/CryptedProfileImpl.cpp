#include "descriptions/CryptedProfileImpl.h"

#include "descriptions/ProfileRecords.h"
#include "support/Text.h"

namespace quillon {
namespace {

// The smallest encodings: a section is at least a text item and an integer item (5 + 5 bytes),
// an entry a text, an integer and a 5-byte value. Counts beyond what the bytes left can hold
// are refused before any work is done for them.
constexpr std::size_t kMinSectionBytes = 10;
constexpr std::size_t kMinEntryBytes = 15;

#define PROFILE_TRY(expr)                                                                          \
    do {                                                                                           \
        if (const ProfileLoadError e_ = (expr); e_ != ProfileLoadError::None)                      \
            return e_;                                                                             \
    } while (false)

ProfileLoadError ReadValue(RecordReader& in, std::int32_t type, const CCryptedProfileImpl& store,
                           CProfileValue& value) {
    switch (type) {
    case kTypeBool: {
        std::int32_t flag = 0;
        PROFILE_TRY(in.ReadFlag(flag));
        value = CProfileValue::Bool(flag != 0);
        return ProfileLoadError::None;
    }
    case kTypeInt: {
        std::int32_t number = 0;
        PROFILE_TRY(in.ReadInteger(number));
        value = CProfileValue::Int(number);
        return ProfileLoadError::None;
    }
    case kTypeString: {
        std::string text;
        PROFILE_TRY(in.ReadText(text));
        value = CProfileValue::String(store.Adapt(text));
        return ProfileLoadError::None;
    }
    case kTypeBytes: {
        std::vector<std::uint8_t> bytes;
        PROFILE_TRY(in.ReadBlock(bytes));
        value = CProfileValue::Bytes(std::move(bytes));
        return ProfileLoadError::None;
    }
    default:
        return ProfileLoadError::BadType;
    }
}

} // namespace

std::string CCryptedProfileImpl::Adapt(std::string_view text) const {
    if (Form() == TextForm::Wide)
        return std::string(text);
    return Cp1251ToUtf8(Utf8ToCp1251(text));
}

CCryptedSection& CCryptedProfileImpl::AddSection(std::string_view name) {
    std::unique_ptr<CCryptedSection> section;
    if (Form() == TextForm::Wide)
        section = std::make_unique<CCryptedSectionW2>();
    else
        section = std::make_unique<CCryptedSectionA2>();
    return Add(Adapt(NormalizeProfileText(name)), std::move(section));
}

const CCryptedSection* CCryptedProfileImpl::FindSection(std::string_view name) const {
    if (Form() == TextForm::Wide)
        return Find(name);
    return Find(Adapt(name));
}

const CProfileValue* CCryptedProfileImpl::FindValue(std::string_view section,
                                                    std::string_view name) const {
    const CCryptedSection* s = FindSection(section);
    if (!s)
        return nullptr;
    if (Form() == TextForm::Wide)
        return s->Find(name);
    return s->Find(Adapt(name));
}

ProfileLoadError CCryptedProfileImpl::ReadStream(const std::uint8_t* data, std::size_t size) {
    RecordReader in(data, size);
    std::int32_t sections = 0;
    PROFILE_TRY(in.ReadInteger(sections));
    if (sections < 0)
        return ProfileLoadError::BadCount;
    if (std::size_t(sections) > in.Left() / kMinSectionBytes)
        return ProfileLoadError::Truncated;
    if (sections > kMaxProfileSections)
        return ProfileLoadError::TooLarge;
    std::int64_t allEntries = 0;
    for (std::int32_t s = 0; s < sections; ++s) {
        std::string sectionName;
        PROFILE_TRY(in.ReadText(sectionName));
        std::int32_t entries = 0;
        PROFILE_TRY(in.ReadInteger(entries));
        if (entries < 0)
            return ProfileLoadError::BadCount;
        if (std::size_t(entries) > in.Left() / kMinEntryBytes)
            return ProfileLoadError::Truncated;
        if ((allEntries += entries) > kMaxProfileEntries)
            return ProfileLoadError::TooLarge;
        CCryptedSection& section = AddSection(sectionName);
        for (std::int32_t e = 0; e < entries; ++e) {
            std::string entryName;
            PROFILE_TRY(in.ReadText(entryName));
            std::int32_t type = 0;
            PROFILE_TRY(in.ReadInteger(type));
            CProfileValue value;
            PROFILE_TRY(ReadValue(in, type, *this, value));
            section.Add(Adapt(entryName), std::make_unique<CProfileValue>(std::move(value)));
        }
    }
    if (in.Left() != 0)
        return ProfileLoadError::TrailingData;
    return ProfileLoadError::None;
}

} // namespace quillon
