#include "ProductRegistry.h"

#include "platform/posix/HiveRegistry.h"
#include "support/Text.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>

namespace kaldo {

using quillon::RegistryRoot;
using quillon::RegistryType;
using quillon::RegistryValue;
namespace regerr = quillon::regerr;

std::optional<std::string> ReadString(quillon::RegistryStore& hive, RegistryRoot root, std::string_view key,
                                      std::string_view name) {
    RegistryValue v;
    if (hive.QueryValue(root, key, name, v) != regerr::Success)
        return std::nullopt;
    if (v.type != static_cast<std::uint32_t>(RegistryType::String) &&
        v.type != static_cast<std::uint32_t>(RegistryType::ExpandString))
        return std::nullopt;
    return quillon::Utf16LeBytesToUtf8(v.data.data(), v.data.size());
}

std::optional<std::uint32_t> ReadDword(quillon::RegistryStore& hive, RegistryRoot root, std::string_view key,
                                       std::string_view name) {
    RegistryValue v;
    if (hive.QueryValue(root, key, name, v) != regerr::Success ||
        v.type != static_cast<std::uint32_t>(RegistryType::Dword) || v.data.size() != 4)
        return std::nullopt;
    return std::uint32_t(v.data[0]) | std::uint32_t(v.data[1]) << 8 | std::uint32_t(v.data[2]) << 16 |
           std::uint32_t(v.data[3]) << 24;
}

std::optional<std::int64_t> ParseNumber(std::string_view text) {
    const std::string s = quillon::Trim(text);
    if (s.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 0);
    if (errno != 0 || end != s.c_str() + s.size())
        return std::nullopt;
    return v;
}

namespace {

struct Plan {
    std::int32_t status = 0;
    std::int64_t count = 0;
};

std::optional<Plan> ParsePlan(const std::string& text) {
    const auto space = text.find_first_of(" \t:");
    auto status = ParseNumber(text.substr(0, space));
    auto count = space == std::string::npos ? std::optional<std::int64_t>(1) : ParseNumber(text.substr(space + 1));
    if (!status || !count || *count < 0 || *status < INT32_MIN || *status > 0xFFFFFFFFll)
        return std::nullopt;
    return Plan{static_cast<std::int32_t>(static_cast<std::uint32_t>(*status)), *count};
}

std::string PlanText(const Plan& plan) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "0x%08X %lld", static_cast<unsigned>(plan.status), static_cast<long long>(plan.count));
    return buf;
}

} // namespace

namespace {

// Whether the hive has a Faults key at all, read again only when the hive file changed (every
// write replaces it): every service call asks, and a product without planned faults should not
// parse its hive for each.
bool FaultsKeyExists(const std::string& hivePath) {
    static std::mutex mutex;
    static struct stat known {};
    static bool exists = false;
    struct stat st {};
    if (::stat(hivePath.c_str(), &st) != 0)
        return false;
    std::lock_guard lock(mutex);
    if (st.st_ino != known.st_ino || st.st_dev != known.st_dev || st.st_size != known.st_size ||
        st.st_mtim.tv_sec != known.st_mtim.tv_sec || st.st_mtim.tv_nsec != known.st_mtim.tv_nsec) {
        quillon::posix::HiveRegistry hive(hivePath);
        exists = hive.OpenKey(RegistryRoot::LocalMachine, kFaultsKey, false) == 0;
        known = st;
    }
    return exists;
}

} // namespace

std::optional<std::int32_t> TakeFault(const std::string& hivePath, std::string_view operation) {
    if (!FaultsKeyExists(hivePath))
        return std::nullopt;
    quillon::posix::HiveRegistry hive(hivePath);
    // The common case (no fault planned) only reads the hive.
    if (!ReadString(hive, RegistryRoot::LocalMachine, kFaultsKey, operation))
        return std::nullopt;
    std::optional<std::int32_t> fired;
    const long rc = hive.Update([&](quillon::posix::HiveDocument& doc) -> long {
        auto text = ReadString(doc, RegistryRoot::LocalMachine, kFaultsKey, operation);
        if (!text)
            return regerr::FileNotFound;
        auto plan = ParsePlan(*text);
        if (!plan || plan->count == 0)
            return doc.DeleteValue(RegistryRoot::LocalMachine, kFaultsKey, operation);
        fired = plan->status;
        if (--plan->count == 0)
            return doc.DeleteValue(RegistryRoot::LocalMachine, kFaultsKey, operation);
        return doc.SetValue(RegistryRoot::LocalMachine, kFaultsKey, operation, RegistryValue::String(PlanText(*plan)));
    });
    return rc == regerr::Success ? fired : std::nullopt;
}

bool PlanFault(const std::string& hivePath, std::string_view operation, std::int32_t status, std::uint32_t count,
               std::string* error) {
    quillon::posix::HiveRegistry hive(hivePath);
    const long rc = hive.Update([&](quillon::posix::HiveDocument& doc) -> long {
        if (count == 0) {
            const long r = doc.DeleteValue(RegistryRoot::LocalMachine, kFaultsKey, operation);
            return r == regerr::FileNotFound ? regerr::Success : r;
        }
        return doc.SetValue(RegistryRoot::LocalMachine, kFaultsKey, operation,
                            RegistryValue::String(PlanText(Plan{status, count})));
    });
    if (rc != regerr::Success && error)
        *error = hive.Error();
    return rc == regerr::Success;
}

} // namespace kaldo
