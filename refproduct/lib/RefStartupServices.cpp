#include "RefStartupServices.h"

#include "ProductRegistry.h"
#include "platform/posix/HiveRegistry.h"

namespace kaldo {

using namespace quillon;

namespace {

std::optional<std::uint32_t> ConfigDword(const ServiceContext& context, const char* name) {
    posix::HiveRegistry hive(context.HivePath());
    return ReadDword(hive, RegistryRoot::LocalMachine, kReferenceKey, name);
}

std::string ConfigString(const ServiceContext& context, const char* name, const char* def) {
    posix::HiveRegistry hive(context.HivePath());
    return ReadString(hive, RegistryRoot::LocalMachine, kReferenceKey, name).value_or(def);
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = std::min(text.find(';', start), text.size());
        if (end > start)
            out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

class RefCatalogueEntry : public KernelCatalogueEntry {
public:
    RefCatalogueEntry(ServiceContext context, std::string value) : context_(std::move(context)), value_(std::move(value)) {}
    HRESULT GetItemValue(std::string& value) override {
        JournalRecord r("KernelCatalog.GetItemValue");
        return context_.Call(r, [&] {
            value = value_;
            r.Out("value", value);
            return S_OK;
        });
    }

private:
    ServiceContext context_;
    std::string value_;
};

} // namespace

HRESULT RefAppHelperService::SetCaption(const std::string& caption) {
    JournalRecord r("AppHelper.SetCaption");
    r.Arg("caption", caption);
    return context_.Call(r, [] { return S_OK; });
}

HRESULT RefAppHelperService::RunApplication(const std::string& path, const std::string& arguments) {
    JournalRecord r("AppHelper.RunApplication");
    r.Arg("path", path).Arg("arguments", arguments);
    return context_.Call(r, [&] {
        return static_cast<HRESULT>(ConfigDword(context_, "RunApplicationResult").value_or(S_OK));
    });
}

HRESULT RefAppHelperService::ReportError(HRESULT code, const std::string& title, std::int32_t options,
                                         std::int32_t& answer) {
    JournalRecord r("AppHelper.ReportError");
    r.Arg("code", code).Arg("title", title).Arg("options", options);
    return context_.Call(r, [&] {
        answer = static_cast<std::int32_t>(ConfigDword(context_, "ReportErrorAnswer").value_or(1));
        r.Out("answer", answer);
        return S_OK;
    });
}

HRESULT RefAppHelperService::ShowError(HRESULT code, const std::string& title) {
    JournalRecord r("AppHelper.ShowError");
    r.Arg("code", code).Arg("title", title);
    return context_.Call(r, [] { return S_OK; });
}

HRESULT RefAppHelperService::SetMode(std::int32_t mode, std::int32_t flags) {
    JournalRecord r("AppHelper.SetMode");
    r.Arg("mode", mode).Arg("flags", flags);
    return context_.Call(r, [] { return S_OK; });
}

HRESULT RefAppHelperService::CheckResult(HRESULT code, const std::string& title) {
    JournalRecord r("AppHelper.CheckResult");
    r.Arg("code", code).Arg("title", title);
    return context_.Call(r, [&] {
        if (auto configured = ConfigDword(context_, "CheckResult"))
            return static_cast<HRESULT>(*configured);
        return Succeeded(code) ? S_OK : code;
    });
}

HRESULT RefKernelCatalogService::OpenCatalogue(const std::string& name, const std::string& text, std::int32_t options) {
    JournalRecord r("KernelCatalog.OpenCatalogue");
    r.Arg("name", name).Arg("text", text).Arg("options", options);
    return context_.Call(r, [&] {
        if (name != ConfigString(context_, "CatalogueName", "RAVIRI"))
            return KLDO_E_CANNOT_OPEN;
        entries_ = SplitList(ConfigString(context_, "CatalogueEntries", "KALDO"));
        open_ = true;
        return S_OK;
    });
}

HRESULT RefKernelCatalogService::GetCount(std::uint16_t& count) {
    JournalRecord r("KernelCatalog.GetCount");
    return context_.Call(r, [&] {
        if (!open_)
            return E_UNEXPECTED;
        count = static_cast<std::uint16_t>(entries_.size());
        r.Out("count", count);
        return S_OK;
    });
}

HRESULT RefKernelCatalogService::GetItem(std::int32_t index, std::shared_ptr<KernelCatalogueEntry>& entry) {
    JournalRecord r("KernelCatalog.GetItem");
    r.Arg("index", index);
    return context_.Call(r, [&] {
        if (!open_)
            return E_UNEXPECTED;
        if (index < 0 || static_cast<std::size_t>(index) >= entries_.size())
            return E_INVALIDARG;
        entry = std::make_shared<RefCatalogueEntry>(context_, entries_[static_cast<std::size_t>(index)]);
        return S_OK;
    });
}

HRESULT RefProductSettingsService::GetStatus() {
    JournalRecord r("ProductSettings.GetStatus");
    return context_.Call(r, [&] { return static_cast<HRESULT>(ConfigDword(context_, "SettingsStatus").value_or(S_OK)); });
}

HRESULT RefProductSettingsService::GetEntries(std::vector<std::string>& names) {
    JournalRecord r("ProductSettings.GetEntries");
    return context_.Call(r, [&] {
        names = SplitList(ConfigString(context_, "SettingsEntries", "Interface;Dictionaries;Translation"));
        r.Out("count", std::int64_t(names.size()));
        return S_OK;
    });
}

} // namespace kaldo
