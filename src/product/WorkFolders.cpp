#include "product/WorkFolders.h"

#include "platform/Ports.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace quillon {

std::string GetUserWorkFolder() {
    FileSystemPort& files = Files();
    std::string base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (std::string home = files.HomeFolder(); !home.empty())
        base = home + "/.cache";
    bool ok = !base.empty();
    if (ok) {
        std::error_code ec;
        if (!fs::exists(base, ec))
            ok = files.EnsurePrivateFolder(base);
        else
            ok = fs::is_directory(base, ec);
    }
    if (ok) {
        while (base.size() > 1 && base.back() == '/')
            base.pop_back();
        for (const char* level : {"/Velmar Soft", "/KLDO", "/9.0"}) {
            base += level;
            if (!files.EnsurePrivateFolder(base)) {
                ok = false;
                break;
            }
        }
    }
    if (ok)
        return base + "/";
    return {};
}

std::string GetProductTempFolder(const std::string& name) {
    const std::string temp = Files().TempFolder();
    if (temp.empty())
        return {};
    return temp + "KALDO/12.0/" + name;
}

bool CreateOneFolder(const std::string& path) {
    if (path.empty())
        return false;
    std::error_code ec;
    if (fs::create_directory(path, ec))
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, ec);
    return fs::is_directory(path, ec);
}

void CreateDirectoryTree(const std::string& path) {
    std::string p = path;
    if (!p.empty() && (p.back() == '/' || p.back() == '\\'))
        p.pop_back();
    for (std::size_t pos = p.find('/', 1); pos != std::string::npos; pos = p.find('/', pos + 1))
        CreateOneFolder(p.substr(0, pos));
    CreateOneFolder(p);
}

} // namespace quillon
