#include "RefDictFileService.h"

#include "DictionaryFile.h"

#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace kaldo {

using namespace quillon;

// The open file: its head and the descriptor that carries the shared lock. Head changes are
// written in place (the body is never read or rewritten) without a sync: the two head slots keep
// the file consistent whatever reaches the disk, and a file the product keeps is synced when it
// takes it (import copies and syncs).
class OpenDictionaryState {
public:
    OpenDictionaryState(ServiceContext context, std::string path, DictionaryHead head)
        : context_(std::move(context)), path_(std::move(path)), head_(std::move(head)) {
        Hold();
    }
    ~OpenDictionaryState() { Release(); }
    OpenDictionaryState(const OpenDictionaryState&) = delete;
    OpenDictionaryState& operator=(const OpenDictionaryState&) = delete;

    // Applies `change` to the head and writes it; the head is left unchanged when the write
    // fails.
    template <class Change>
    HRESULT Write(Change&& change) {
        std::lock_guard lock(mutex_);
        DictionaryHead copy = head_;
        if (HRESULT hr = change(copy); Failed(hr))
            return hr;
        std::string error;
        if (!WriteDictionaryHead(path_, copy, false, error))
            return E_ACCESSDENIED;
        head_ = std::move(copy);
        Release();   // a rewritten file is a new file: hold the lock on it
        Hold();
        return S_OK;
    }
    template <class Reader>
    auto Read(Reader&& reader) {
        std::lock_guard lock(mutex_);
        return reader(static_cast<const DictionaryHead&>(head_));
    }
    const ServiceContext& Context() const { return context_; }
    const std::string& Path() const { return path_; }

private:
    void Hold() {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ >= 0)
            ::flock(fd_, LOCK_SH | LOCK_NB);
    }
    void Release() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    ServiceContext context_;
    std::string path_;
    DictionaryHead head_;
    std::mutex mutex_;
    int fd_ = -1;
};

namespace {

class RefPropertySet : public DictPropertySet {
public:
    explicit RefPropertySet(std::shared_ptr<OpenDictionaryState> state) : state_(std::move(state)) {}

    HRESULT GetVersion(std::int32_t& version) override {
        JournalRecord r("DictFile.GetVersion");
        r.Arg("path", state_->Path());
        return state_->Context().Call(r, [&] {
            version = state_->Read([](const DictionaryHead& f) { return std::int32_t(f.Version()); });
            r.Out("version", version);
            return S_OK;
        });
    }
    HRESULT GetProperty(const std::string& name, std::vector<std::uint8_t>& bytes) override {
        JournalRecord r("DictFile.GetProperty");
        r.Arg("path", state_->Path()).Arg("name", name);
        return state_->Context().Call(r, [&] {
            return state_->Read([&](const DictionaryHead& f) {
                const auto* found = f.FindProperty(name);
                if (!found)
                    return KLDO_E_CANNOT_OPEN;
                bytes = *found;
                r.Out("length", std::int64_t(bytes.size()));
                return S_OK;
            });
        });
    }
    HRESULT SetProperty(const std::string& name, const std::vector<std::uint8_t>& bytes) override {
        JournalRecord r("DictFile.SetProperty");
        r.Arg("path", state_->Path()).Arg("name", name).Arg("length", std::int64_t(bytes.size()));
        return state_->Context().Call(r, [&] {
            return state_->Write([&](DictionaryHead& f) {
                if (f.Version() < kPropertiesVersion)
                    return E_NOTIMPL;   // named properties exist from version 4 on
                return f.SetProperty(name, bytes) ? S_OK : E_INVALIDARG;
            });
        });
    }

private:
    std::shared_ptr<OpenDictionaryState> state_;
};

class RefDictFile : public DictFile {
public:
    explicit RefDictFile(std::shared_ptr<OpenDictionaryState> state) : state_(std::move(state)) {}

    HRESULT GetLinkNumber(std::int32_t& value) override {
        return Get("LinkNumber", value, [](const DictionaryHead& f) { return f.LinkNumber(); });
    }
    HRESULT SetLinkNumber(std::int32_t value) override {
        return Set("LinkNumber", value, [value](DictionaryHead& f) { f.SetLinkNumber(value); });
    }
    HRESULT GetLinkCode(std::uint8_t& value) override {
        return Get("LinkCode", value, [](const DictionaryHead& f) { return f.LinkCode(); });
    }
    HRESULT SetLinkCode(std::uint8_t value) override {
        return Set("LinkCode", value, [value](DictionaryHead& f) { f.SetLinkCode(value); });
    }
    HRESULT GetFormatLevel(std::int32_t& value) override {
        return Get("FormatLevel", value, [](const DictionaryHead& f) { return f.FormatLevel(); });
    }
    HRESULT SetFormatLevel(std::int32_t value) override {
        return Set("FormatLevel", value, [value](DictionaryHead& f) { f.SetFormatLevel(value); });
    }
    HRESULT GetPropertySet(std::shared_ptr<DictPropertySet>& properties) override {
        JournalRecord r("DictFile.GetPropertySet");
        r.Arg("path", state_->Path());
        return state_->Context().Call(r, [&] {
            const auto version = state_->Read([](const DictionaryHead& f) { return f.Version(); });
            if (version < 2) {
                properties.reset();
                return S_FALSE;
            }
            properties = std::make_shared<RefPropertySet>(state_);
            return S_OK;
        });
    }
    HRESULT ReadHeader(std::vector<std::uint8_t>& block) override {
        JournalRecord r("DictFile.ReadHeader");
        r.Arg("path", state_->Path());
        return state_->Context().Call(r, [&] {
            state_->Read([&](const DictionaryHead& f) { block.assign(f.Header().begin(), f.Header().end()); });
            return S_OK;
        });
    }
    HRESULT WriteHeader(const std::vector<std::uint8_t>& block) override {
        JournalRecord r("DictFile.WriteHeader");
        r.Arg("path", state_->Path()).Arg("length", std::int64_t(block.size()));
        return state_->Context().Call(r, [&] {
            if (block.size() != kHeaderBlockSize)
                return E_INVALIDARG;
            return state_->Write([&](DictionaryHead& f) {
                std::array<std::uint8_t, kHeaderBlockSize> header{};
                std::copy(block.begin(), block.end(), header.begin());
                f.SetHeader(header);
                return S_OK;
            });
        });
    }

private:
    template <class T, class Getter>
    HRESULT Get(const char* what, T& value, Getter getter) {
        JournalRecord r(std::string("DictFile.Get") + what);
        r.Arg("path", state_->Path());
        return state_->Context().Call(r, [&] {
            value = state_->Read(getter);
            r.Out("value", std::int64_t(value));
            return S_OK;
        });
    }
    template <class T, class Setter>
    HRESULT Set(const char* what, T value, Setter setter) {
        JournalRecord r(std::string("DictFile.Set") + what);
        r.Arg("path", state_->Path()).Arg("value", std::int64_t(value));
        return state_->Context().Call(r, [&] {
            return state_->Write([&](DictionaryHead& f) {
                setter(f);
                return S_OK;
            });
        });
    }

    std::shared_ptr<OpenDictionaryState> state_;
};

} // namespace

std::shared_ptr<DictFile> OpenDictFile(const ServiceContext& context, const std::string& path, HRESULT& status,
                                       std::string& error) {
    auto info = ReadDictionaryHead(path, error);
    if (!info) {
        status = KLDO_E_CANNOT_OPEN;
        return nullptr;
    }
    status = S_OK;
    return std::make_shared<RefDictFile>(std::make_shared<OpenDictionaryState>(context, path, std::move(info->head)));
}

HRESULT RefDictFileService::Open(const std::string& ansiPath, std::shared_ptr<DictFile>& file) {
    JournalRecord r("DictFileService.Open");
    r.Arg("path", ansiPath);
    return context_.Call(r, [&] {
        HRESULT status = S_OK;
        std::string error;
        file = OpenDictFile(context_, ansiPath, status, error);
        if (!file)
            r.Out("error", error);
        return status;
    });
}

} // namespace kaldo
