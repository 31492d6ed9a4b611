#include "RefKernelService.h"

#include "DictionaryFile.h"
#include "DirectionTable.h"
#include "RefDictFileService.h"

namespace kaldo {

using namespace quillon;

namespace {

class RefKernelDictionary : public KernelDictionary {
public:
    RefKernelDictionary(std::string name, std::int32_t version) : name_(std::move(name)), version_(version) {}
    HRESULT GetName(std::string& name) override {
        name = name_;
        return S_OK;
    }
    HRESULT GetFormatVersion(std::int32_t& version) override {
        version = version_;
        return S_OK;
    }

private:
    std::string name_;
    std::int32_t version_;
};

class RefCatalogueDirection : public CatalogueDirection {
public:
    RefCatalogueDirection(ServiceContext context, std::shared_ptr<Product> product, DirectionInfo direction)
        : context_(std::move(context)), product_(std::move(product)), direction_(std::move(direction)) {}

    HRESULT GetDictionary(std::int16_t key, std::shared_ptr<DictFile>& file) override {
        JournalRecord r("Catalogue.GetDictionary");
        r.Arg("direction", std::int64_t(direction_.id)).Arg("key", std::int64_t(key));
        return context_.Call(r, [&] {
            std::string path;
            if (key == -1) {
                path = Product::GeneralDictionaryPath(direction_);
            } else {
                const auto list = product_->Dictionaries(direction_.id);
                if (key < 0 || static_cast<std::size_t>(key) >= list.size())
                    return E_INVALIDARG;
                path = list[static_cast<std::size_t>(key)].path;
            }
            HRESULT status = S_OK;
            std::string error;
            file = OpenDictFile(context_, path, status, error);
            r.Out("path", path);
            if (!file)
                r.Out("error", error);
            return status;
        });
    }

private:
    ServiceContext context_;
    std::shared_ptr<Product> product_;
    DirectionInfo direction_;
};

class RefKernelDictionaries : public KernelDictionaries {
public:
    RefKernelDictionaries(ServiceContext context, std::shared_ptr<Product> product)
        : context_(std::move(context)), product_(std::move(product)) {}

    HRESULT GetDirection(std::uint32_t directionId, std::shared_ptr<CatalogueDirection>& direction) override {
        JournalRecord r("Catalogue.GetDirection");
        r.Arg("direction", std::int64_t(directionId));
        return context_.Call(r, [&] {
            auto found = product_->FindDirection(directionId);
            if (!found)
                return E_INVALIDARG;
            direction = std::make_shared<RefCatalogueDirection>(context_, product_, *found);
            return S_OK;
        });
    }

private:
    ServiceContext context_;
    std::shared_ptr<Product> product_;
};

} // namespace

RefKernelService::RefKernelService(ServiceContext context, std::unique_ptr<Product> product)
    : context_(std::move(context)), product_(std::move(product)) {}

template <class Body>
HRESULT RefKernelService::Guarded(JournalRecord& record, Body&& body) {
    return context_.Call(record, [&]() -> HRESULT {
        if (!loggedIn_) {
            record.Out("error", std::string_view("not logged in"));
            return E_ACCESSDENIED;
        }
        try {
            return body();
        } catch (const std::exception& e) {   // no failure crosses the library boundary
            record.Out("error", std::string_view(e.what()));
            return E_FAIL;
        }
    });
}

HRESULT RefKernelService::Login(std::int32_t client, const std::string& product, std::int32_t mode) {
    JournalRecord r("Login");
    r.Arg("client", client).Arg("product", product).Arg("mode", mode);
    return context_.Call(r, [&] {
        loggedIn_ = client == 1 && product == "RAVIRI" && mode == 1;
        return loggedIn_ ? S_OK : E_ACCESSDENIED;
    });
}

HRESULT RefKernelService::GetDirectionCount(std::uint16_t& count) {
    JournalRecord r("GetDirectionCount");
    return Guarded(r, [&] {
        count = static_cast<std::uint16_t>(product_->Directions().size());
        r.Out("count", count);
        return S_OK;
    });
}

HRESULT RefKernelService::GetDirection(std::int32_t index, std::uint32_t& directionId, std::string& name) {
    JournalRecord r("GetDirection");
    r.Arg("index", index);
    return Guarded(r, [&] {
        const auto list = product_->Directions();
        if (index < 0 || static_cast<std::size_t>(index) >= list.size())
            return E_INVALIDARG;
        directionId = list[static_cast<std::size_t>(index)].id;
        name = DirectionName(directionId, product_->InterfaceLanguage());
        r.Out("direction", std::int64_t(directionId)).Out("name", name);
        return S_OK;
    });
}

HRESULT RefKernelService::GetDirectionPath(std::uint32_t directionId, std::string& path) {
    JournalRecord r("GetDirectionPath");
    r.Arg("direction", std::int64_t(directionId));
    return Guarded(r, [&] {
        auto found = product_->FindDirection(directionId);
        if (!found)
            return E_INVALIDARG;
        path = found->folder + "/";
        r.Out("path", path);
        return S_OK;
    });
}

HRESULT RefKernelService::GetCatalogue(std::shared_ptr<ComObject>& catalogue) {
    JournalRecord r("GetCatalogue");
    return Guarded(r, [&] {
        catalogue = std::make_shared<RefKernelDictionaries>(context_, product_);
        return S_OK;
    });
}

HRESULT RefKernelService::OpenDictionary(const std::string& path, std::shared_ptr<KernelDictionary>& dictionary) {
    JournalRecord r("OpenDictionary");
    r.Arg("path", path);
    return Guarded(r, [&] {
        std::string error;
        auto info = ReadDictionaryHead(path, error);
        if (!info) {
            r.Out("error", error);
            return KLDO_E_CANNOT_OPEN;
        }
        const DictionaryHead* file = &info->head;
        // The internal name of a dictionary is its identifier: it stays when the file is renamed.
        dictionary = std::make_shared<RefKernelDictionary>(file->Guid(), file->Version());
        r.Out("name", file->Guid()).Out("version", std::int64_t(file->Version()));
        return S_OK;
    });
}

HRESULT RefKernelService::GetDictionaryInfo(const std::string& path, std::string& guid, std::uint32_t& directionId) {
    JournalRecord r("GetDictionaryInfo");
    r.Arg("path", path);
    return Guarded(r, [&] {
        std::string error;
        auto info = ReadDictionaryHead(path, error);
        if (!info) {
            r.Out("error", error);
            return KLDO_E_CANNOT_OPEN;
        }
        guid = info->head.Guid();
        const DictionaryHead* file = &info->head;
        directionId = file->DirectionId();
        r.Out("guid", guid).Out("direction", std::int64_t(directionId));
        return S_OK;
    });
}

HRESULT RefKernelService::GetDictionaryValue(const std::string& name, std::int64_t& value) {
    JournalRecord r("GetDictionaryValue");
    r.Arg("name", name);
    return Guarded(r, [&] {
        auto v = product_->Db().Scalar("SELECT value FROM dictionary_values WHERE name = ?1", {name});
        value = v ? AsInt(*v) : 0;
        r.Out("value", value);
        return v ? S_OK : S_FALSE;
    });
}

HRESULT RefKernelService::SetDictionaryValue(const std::string& name, const std::string& text, std::int64_t value) {
    JournalRecord r("SetDictionaryValue");
    r.Arg("name", name).Arg("text", text).Arg("value", value);
    return Guarded(r, [&] {
        if (name.empty())
            return E_INVALIDARG;
        return product_->Db().Run("INSERT OR REPLACE INTO dictionary_values(name, text, value) VALUES(?1, ?2, ?3)",
                                  {name, text, value})
                   ? S_OK
                   : E_FAIL;
    });
}

HRESULT RefKernelService::ImportDictionary(const std::string& path, std::uint32_t directionId, std::int32_t flags,
                                           ProgressReceiver* progress) {
    JournalRecord r("ImportDictionary");
    r.Arg("path", path).Arg("direction", std::int64_t(directionId)).Arg("flags", flags);
    return Guarded(r, [&] {
        std::string detail;
        const HRESULT hr = product_->ImportDictionary(path, directionId, progress, detail);
        if (!detail.empty())
            r.Out("detail", detail);
        return hr;
    });
}

HRESULT RefKernelService::DeleteDictionary(const std::string& path, std::uint32_t directionId) {
    JournalRecord r("DeleteDictionary");
    r.Arg("path", path).Arg("direction", std::int64_t(directionId));
    return Guarded(r, [&] {
        std::string detail;
        const HRESULT hr = product_->DeleteDictionary(path, directionId, detail);
        if (!detail.empty())
            r.Out("detail", detail);
        return hr;
    });
}

HRESULT RefKernelService::InstallBaseTM(const std::string& sourcePath, std::int32_t flags, const std::string& xml,
                                        std::int32_t replaceMode, std::string& result) {
    JournalRecord r("InstallBaseTM");
    r.Arg("source", sourcePath).Arg("flags", flags).Arg("xml", xml).Arg("replaceMode", replaceMode);
    return Guarded(r, [&] {
        std::string detail;
        const HRESULT hr = product_->InstallBaseTM(sourcePath, xml, replaceMode, result, detail);
        r.Out("result", result);
        if (!detail.empty())
            r.Out("detail", detail);
        return hr;
    });
}

HRESULT RefKernelService::InstallProfile(const std::string& xml, std::int32_t replaceMode, std::string& result) {
    JournalRecord r("InstallProfile");
    r.Arg("xml", xml).Arg("replaceMode", replaceMode);
    return Guarded(r, [&] {
        std::string detail;
        const HRESULT hr = product_->InstallProfile(xml, replaceMode, result, detail);
        r.Out("result", result);
        if (!detail.empty())
            r.Out("detail", detail);
        return hr;
    });
}

HRESULT RefKernelService::GetCollectionCount(std::uint32_t directionId, std::uint16_t& count) {
    JournalRecord r("GetCollectionCount");
    r.Arg("direction", std::int64_t(directionId));
    return Guarded(r, [&] {
        count = static_cast<std::uint16_t>(std::min<std::size_t>(product_->CollectionIndex(directionId).size(), 0xFFFF));
        r.Out("count", count);
        return S_OK;
    });
}

HRESULT RefKernelService::GetCollectionName(std::uint32_t directionId, std::uint16_t index, std::string& name) {
    JournalRecord r("GetCollectionName");
    r.Arg("direction", std::int64_t(directionId)).Arg("index", index);
    return Guarded(r, [&] {
        const auto& list = product_->CollectionIndex(directionId);
        if (index >= list.size())
            return E_INVALIDARG;
        name = list[index].name;
        r.Out("name", name);
        return S_OK;
    });
}

HRESULT RefKernelService::GetCollectionState(std::uint32_t directionId, std::uint16_t index, std::int32_t& state) {
    JournalRecord r("GetCollectionState");
    r.Arg("direction", std::int64_t(directionId)).Arg("index", index);
    return Guarded(r, [&] {
        const auto& list = product_->CollectionIndex(directionId);
        if (index >= list.size())
            return E_INVALIDARG;
        state = list[index].state;
        r.Out("state", state);
        return S_OK;
    });
}

HRESULT RefKernelService::RemoveCollection(std::uint32_t directionId, std::uint16_t index) {
    JournalRecord r("RemoveCollection");
    r.Arg("direction", std::int64_t(directionId)).Arg("index", index);
    return Guarded(r, [&] {
        std::string detail;
        const HRESULT hr = product_->RemoveCollection(directionId, index, detail);
        if (!detail.empty())
            r.Out("detail", detail);
        return hr;
    });
}

HRESULT RefKernelService::RemoveDirectionCollections(std::uint32_t directionId) {
    JournalRecord r("RemoveDirectionCollections");
    r.Arg("direction", std::int64_t(directionId));
    return Guarded(r, [&] {
        std::string detail;
        const HRESULT hr = product_->RemoveDirectionCollections(directionId, detail);
        if (!detail.empty())
            r.Out("detail", detail);
        return hr;
    });
}

HRESULT RefKernelService::RemoveAllCollections() {
    JournalRecord r("RemoveAllCollections");
    return Guarded(r, [&] {
        std::string detail;
        const HRESULT hr = product_->RemoveAllCollections(detail);
        if (!detail.empty())
            r.Out("detail", detail);
        return hr;
    });
}

} // namespace kaldo
