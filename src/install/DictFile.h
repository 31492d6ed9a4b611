#pragma once
// CDictFile: a dictionary file opened through the product's in-process DictFileService.
// Every operation catches any error of the service (a failed status or a raised error) and
// answers its failure result instead; an operation on a wrapper that is not open fails the
// same way. The destructor closes the file.
#include "product/DictFileService.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quillon {

class CDictFile {
public:
    // Remembers the path; nothing is opened.
    explicit CDictFile(std::string path);
    CDictFile(const CDictFile&) = delete;
    CDictFile& operator=(const CDictFile&) = delete;
    ~CDictFile();

    // Creates DictFileService (in-process only) and opens the path. False on failure, the
    // wrapper then being closed.
    bool Open();
    // Releases the file object. Always true.
    bool Close();
    bool IsOpen() const { return m_file != nullptr; }
    const std::string& GetPath() const { return m_path; }

    // Format version: 1 when the file has no property set, else the property set's version;
    // 0 on failure.
    std::int32_t GetVersion();
    // -1 on failure.
    std::int32_t GetLinkNumber();
    void SetLinkNumber(std::int32_t value);
    // 255 on failure.
    std::uint8_t GetLinkCode();
    void SetLinkCode(std::uint8_t value);
    // False on failure.
    bool SetFormatLevel(std::int32_t value);

    // Version above 3: named properties "title" (CP1251, no terminator) and "title_w" (UTF-16LE,
    // no terminator). Otherwise the header block's 16-byte title field at offset 6 takes at most
    // 15 bytes of the CP1251 title followed by zero bytes; a header block too short to hold the
    // field is left as it is. Failures are ignored.
    void SetTitle(std::string_view title);
    // Version above 3 only: "remarks"/"remarks_w", "copyright"/"copyright_w" as for the title.
    // Failures are ignored.
    void SetRemarks(std::string_view remarks);
    void SetCopyright(std::string_view copyright);

    static constexpr std::size_t kTitleOffset = 6;
    static constexpr std::size_t kTitleFieldSize = 16;

private:
    // The property set when the file has one and its version is greater than 3, else null.
    std::shared_ptr<DictPropertySet> ModernProperties();
    void SetTextProperty(std::string_view name, std::string_view text);

    std::string m_path;
    std::shared_ptr<DictFile> m_file;
};

} // namespace quillon
