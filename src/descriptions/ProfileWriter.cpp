#include "descriptions/ProfileWriter.h"

#include "descriptions/ProfileRecords.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

namespace quillon {
namespace {

bool Fail(std::string* error, std::string message) {
    if (error)
        *error = std::move(message);
    return false;
}

constexpr std::size_t kMaxCount = std::numeric_limits<std::int32_t>::max();

} // namespace

bool WriteProfileImage(const CXCryptedProfile2& store, std::vector<std::uint8_t>& image,
                       std::string* error) {
    image.clear();
    const CCryptedProfileImpl& impl = store.Implementation();
    if (impl.Size() > kMaxCount)
        return Fail(error, "too many sections");
    RecordWriter out;
    out.WriteInteger(static_cast<std::int32_t>(impl.Size()));
    for (std::size_t s = 0; s < impl.Size(); ++s) {
        const auto* section = impl.AtAdded(s);
        const CCryptedSection& entries = *section->value;
        if (entries.Size() > kMaxCount)
            return Fail(error, "too many entries in section \"" + section->name + "\"");
        if (!out.WriteText(section->name))
            return Fail(error, "section name too long");
        out.WriteInteger(static_cast<std::int32_t>(entries.Size()));
        for (std::size_t e = 0; e < entries.Size(); ++e) {
            const auto* entry = entries.AtAdded(e);
            const CProfileValue& v = *entry->value;
            if (!out.WriteText(entry->name))
                return Fail(error, "entry name too long");
            out.WriteInteger(v.Type());
            bool ok = true;
            switch (v.Type()) {
            case kTypeBool:
                out.WriteFlag(v.Number() != 0);
                break;
            case kTypeInt:
                out.WriteInteger(v.Number());
                break;
            case kTypeString:
                ok = out.WriteText(v.Text());
                break;
            case kTypeBytes:
                ok = out.WriteBlock(v.Data());
                break;
            default:
                return Fail(error, "entry of unknown type");
            }
            if (!ok)
                return Fail(error, "value of \"" + entry->name + "\" too long");
        }
    }
    if (!WrapProfileStream(out.Bytes(), image))
        return Fail(error, "record stream longer than 4 GiB");
    return true;
}

bool SaveProfileFile(const CXCryptedProfile2& store, const std::string& path, std::string* error) {
    namespace fs = std::filesystem;
    std::vector<std::uint8_t> image;
    if (!WriteProfileImage(store, image, error))
        return false;
    std::random_device random;
    const fs::path target(path);
    const fs::path temp = target.parent_path() /
                          ("." + target.filename().string() + ".tmp" + std::to_string(random()));
    std::error_code ec;
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        if (file)
            file.write(reinterpret_cast<const char*>(image.data()),
                       static_cast<std::streamsize>(image.size()));
        if (file)
            file.flush();
        if (!file) {
            fs::remove(temp, ec);
            return Fail(error, "cannot write " + temp.string());
        }
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return Fail(error, "cannot replace " + path + ": " + ec.message());
    }
    return true;
}

} // namespace quillon
