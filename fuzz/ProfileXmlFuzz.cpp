// The reference product's intake of the XML descriptions the installer sends: the first byte
// chooses a translation profile ("Topic") or a TM base ("Memory"), the rest is the text. What a
// description yields is written again as the installer writes it (text escaped) and must read
// back the same.
#include "FuzzTarget.h"

#include "ProfileXml.h"
#include "model/XmlGenerator.h"

#include <string>
#include <string_view>

namespace {

std::string Element(const char* tag, const std::string& text) {
    return "<" + std::string(tag) + ">" + quillon::EscapeXmlText(text) + "</" + tag + ">";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view xml(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string error;
    if (data[0] & 1) {
        const auto tm = kaldo::ParseTmXml(xml, error);
        FUZZ_CHECK(tm.has_value() != !error.empty());
        if (!tm)
            return 0;
        const std::string again = "<Memory>" + Element("UID", tm->uid) + Element("DirID", std::to_string(tm->directionId)) +
                                  Element("Name", tm->name) + Element("File", tm->file) +
                                  Element("FullName", tm->fullName) + "</Memory>";
        const auto reread = kaldo::ParseTmXml(again, error);
        FUZZ_CHECK(reread && reread->uid == tm->uid && reread->directionId == tm->directionId &&
                   reread->name == tm->name && reread->file == tm->file && reread->fullName == tm->fullName);
    } else {
        const auto profile = kaldo::ParseProfileXml(xml, error);
        FUZZ_CHECK(profile.has_value() != !error.empty());
        if (!profile)
            return 0;
        FUZZ_CHECK(!profile->name.empty());
        std::string again = "<Topic>" + Element("DirID", std::to_string(profile->directionId)) +
                            Element("Name", profile->name) + Element("FilePath", profile->filePath) +
                            Element("FullName", profile->fullName);
        for (const std::string& uid : profile->dictionaryUids)
            again += "<Dict>" + Element("UID", uid) + "</Dict>";
        for (const std::string& uid : profile->tmUids)
            again += "<Memory>" + Element("UID", uid) + "</Memory>";
        again += "</Topic>";
        const auto reread = kaldo::ParseProfileXml(again, error);
        FUZZ_CHECK(reread && reread->directionId == profile->directionId && reread->name == profile->name &&
                   reread->filePath == profile->filePath && reread->fullName == profile->fullName &&
                   reread->dictionaryUids == profile->dictionaryUids && reread->tmUids == profile->tmUids);
    }
    return 0;
}
