#include "install/DictFile.h"

#include "product/ComError.h"
#include "product/CreateService.h"
#include "product/ServiceIds.h"
#include "support/Text.h"

#include <algorithm>

namespace quillon {

namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

} // namespace

CDictFile::CDictFile(std::string path) : m_path(std::move(path)) {}

CDictFile::~CDictFile() {
    Close();
}

bool CDictFile::Open() {
    Close();
    try {
        auto service =
            CreateService<DictFileService>(clsid::DictFileService, ServerContext::InProcess);
        std::shared_ptr<DictFile> file;
        // Paths are byte strings on this platform: the "ANSI" form is the path itself.
        if (Succeeded(service->Open(m_path, file)) && file) {
            m_file = std::move(file);
            return true;
        }
    } catch (...) {
    }
    Close();
    return false;
}

bool CDictFile::Close() {
    m_file.reset();
    return true;
}

std::int32_t CDictFile::GetVersion() {
    if (!m_file)
        return 0;
    try {
        std::shared_ptr<DictPropertySet> properties;
        const HRESULT hr = m_file->GetPropertySet(properties);
        if (Failed(hr))
            return 0;
        if (!properties)
            return 1;
        std::int32_t version = 0;
        return Succeeded(properties->GetVersion(version)) ? version : 0;
    } catch (...) {
        return 0;
    }
}

std::int32_t CDictFile::GetLinkNumber() {
    try {
        std::int32_t value = 0;
        if (m_file && Succeeded(m_file->GetLinkNumber(value)))
            return value;
    } catch (...) {
    }
    return -1;
}

void CDictFile::SetLinkNumber(std::int32_t value) {
    try {
        if (m_file)
            m_file->SetLinkNumber(value);
    } catch (...) {
    }
}

std::uint8_t CDictFile::GetLinkCode() {
    try {
        std::uint8_t value = 0;
        if (m_file && Succeeded(m_file->GetLinkCode(value)))
            return value;
    } catch (...) {
    }
    return 255;
}

void CDictFile::SetLinkCode(std::uint8_t value) {
    try {
        if (m_file)
            m_file->SetLinkCode(value);
    } catch (...) {
    }
}

bool CDictFile::SetFormatLevel(std::int32_t value) {
    try {
        return m_file && Succeeded(m_file->SetFormatLevel(value));
    } catch (...) {
        return false;
    }
}

std::shared_ptr<DictPropertySet> CDictFile::ModernProperties() {
    if (GetVersion() <= 3)
        return nullptr;
    std::shared_ptr<DictPropertySet> properties;
    if (Failed(m_file->GetPropertySet(properties)))
        return nullptr;
    return properties;
}

void CDictFile::SetTextProperty(std::string_view name, std::string_view text) {
    try {
        auto properties = ModernProperties();
        if (!properties)
            return;
        properties->SetProperty(std::string(name), Bytes(Utf8ToCp1251(text)));
        properties->SetProperty(std::string(name) + "_w", Utf8ToUtf16LeBytes(text, false));
    } catch (...) {
    }
}

void CDictFile::SetTitle(std::string_view title) {
    if (!m_file)
        return;
    try {
        if (GetVersion() > 3) {
            SetTextProperty("title", title);
            return;
        }
        std::vector<std::uint8_t> block;
        if (Failed(m_file->ReadHeader(block)) || block.size() < kTitleOffset + kTitleFieldSize)
            return;
        const std::string ansi = Utf8ToCp1251(title);
        const std::size_t length = std::min(ansi.size(), kTitleFieldSize - 1);
        auto field = block.begin() + kTitleOffset;
        std::fill(field, field + kTitleFieldSize, std::uint8_t{0});
        std::copy(ansi.begin(), ansi.begin() + static_cast<std::ptrdiff_t>(length), field);
        m_file->WriteHeader(block);
    } catch (...) {
    }
}

void CDictFile::SetRemarks(std::string_view remarks) {
    if (m_file)
        SetTextProperty("remarks", remarks);
}

void CDictFile::SetCopyright(std::string_view copyright) {
    if (m_file)
        SetTextProperty("copyright", copyright);
}

} // namespace quillon
