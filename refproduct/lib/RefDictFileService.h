#pragma once
// DictFileService of the reference product: opens a dictionary file of the product's format
// (docs/dictionary-files.md). While a file object lives it holds a shared lock on the file, so
// the kernel sees the dictionary as held open. Every write is written to disk (atomically)
// before the call returns.
#include "ServiceContext.h"
#include "product/DictFileService.h"

#include <memory>

namespace kaldo {

class OpenDictionaryState;

// A file object; `Open` answers KLDO_E_CANNOT_OPEN for a file that is missing, unreadable or
// not a dictionary file.
std::shared_ptr<quillon::DictFile> OpenDictFile(const ServiceContext& context, const std::string& path,
                                                quillon::HRESULT& status, std::string& error);

class RefDictFileService : public quillon::DictFileService {
public:
    explicit RefDictFileService(ServiceContext context) : context_(std::move(context)) {}
    quillon::HRESULT Open(const std::string& ansiPath, std::shared_ptr<quillon::DictFile>& file) override;

private:
    ServiceContext context_;
};

} // namespace kaldo
