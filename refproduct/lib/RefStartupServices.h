#pragma once
// The start-up services of the reference product. Their answers come from the product
// configuration in the hive (HKLM\SOFTWARE\Velmar Soft\KLDO9\Reference), so that tests can
// set up every start-up path:
//   "RunApplicationResult" DWORD  answer of AppHelperService.RunApplication (default S_OK)
//   "ReportErrorAnswer"    DWORD  `answer` of ReportError (default 1)
//   "CheckResult"          DWORD  answer of CheckResult (default: S_OK for a success code, else
//                                 the code itself)
//   "CatalogueName"        text   the only catalogue OpenCatalogue opens (default "RAVIRI")
//   "CatalogueEntries"     text   entries of that catalogue, ';'-separated (default "KALDO")
//   "SettingsStatus"       DWORD  answer of ProductSettingsService.GetStatus (default S_OK)
//   "SettingsEntries"      text   names GetEntries answers, ';'-separated
#include "ServiceContext.h"
#include "product/StartupServices.h"

#include <vector>

namespace kaldo {

class RefAppHelperService : public quillon::AppHelperService {
public:
    explicit RefAppHelperService(ServiceContext context) : context_(std::move(context)) {}
    quillon::HRESULT SetCaption(const std::string& caption) override;
    quillon::HRESULT RunApplication(const std::string& path, const std::string& arguments) override;
    quillon::HRESULT ReportError(quillon::HRESULT code, const std::string& title, std::int32_t options,
                                 std::int32_t& answer) override;
    quillon::HRESULT ShowError(quillon::HRESULT code, const std::string& title) override;
    quillon::HRESULT SetMode(std::int32_t mode, std::int32_t flags) override;
    quillon::HRESULT CheckResult(quillon::HRESULT code, const std::string& title) override;

private:
    ServiceContext context_;
};

class RefKernelCatalogService : public quillon::KernelCatalogService {
public:
    explicit RefKernelCatalogService(ServiceContext context) : context_(std::move(context)) {}
    quillon::HRESULT OpenCatalogue(const std::string& name, const std::string& text, std::int32_t options) override;
    quillon::HRESULT GetCount(std::uint16_t& count) override;
    quillon::HRESULT GetItem(std::int32_t index, std::shared_ptr<quillon::KernelCatalogueEntry>& entry) override;

private:
    ServiceContext context_;
    std::vector<std::string> entries_;
    bool open_ = false;
};

class RefProductSettingsService : public quillon::ProductSettingsService {
public:
    explicit RefProductSettingsService(ServiceContext context) : context_(std::move(context)) {}
    quillon::HRESULT GetStatus() override;
    quillon::HRESULT GetEntries(std::vector<std::string>& names) override;

private:
    ServiceContext context_;
};

} // namespace kaldo
