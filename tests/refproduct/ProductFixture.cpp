#include "ProductFixture.h"

#include "platform/Ports.h"
#include "product/CreateService.h"
#include "product/KernelConnection.h"
#include "product/ServiceIds.h"
#include "support/Guid.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kaldo::test {

namespace {
std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
} // namespace

int RunProgram(const std::string& program, const std::vector<std::string>& args, std::string* output) {
    std::string command = Quote(program);
    for (const auto& a : args)
        command += " " + Quote(a);
    command += " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        if (output)
            output->append(buf, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunProductTool(const std::vector<std::string>& args, std::string* output) {
    return RunProgram(KALDO_PRODUCT_TOOL, args, output);
}

std::string ProductProblems() {
    std::string out;
    const int code = RunProductTool({"verify"}, &out);
    return code == 0 ? std::string() : "exit " + std::to_string(code) + ": " + out;
}

void ProductFixture::SetUp() {
    const char* hive = std::getenv("QUILLON_REGISTRY");
    ASSERT_NE(hive, nullptr);
    std::remove(hive);
    root_ = temp_ / "product";
    work_ = temp_ / "work";
    ASSERT_EQ(::mkdir(work_.c_str(), 0700), 0);
    ASSERT_EQ(RunProductTool({"init", root_, "--directions", "ER,RE", "--library", KALDO_REFPRODUCT_LIBRARY}), 0);
    quillon::ReleaseKernelConnection();
}

void ProductFixture::TearDown() { quillon::ReleaseKernelConnection(); }

std::shared_ptr<quillon::KernelService> ProductFixture::Kernel() {
    auto object = quillon::Objects().CreateInstance(quillon::clsid::KernelService, quillon::ServerContext::Any);
    auto login = quillon::QueryInterface<quillon::KernelLogin>(object);
    if (!login || login->Login(1, "RAVIRI", 1) != quillon::S_OK)
        return nullptr;
    return quillon::QueryInterface<quillon::KernelService>(object);
}

DictionaryFile ProductFixture::General(const std::string& code) const {
    std::string error;
    auto file = ReadDictionaryFile(Folder(code) + "/GENDICT." + code, error);
    EXPECT_TRUE(file) << error;
    return file ? *file : DictionaryFile();
}

std::string ProductFixture::MakeDictionary(const std::string& name, std::uint32_t direction, bool linked,
                                           std::uint16_t version, std::size_t entries) {
    DictionaryFile file;
    file.SetVersion(version);
    file.SetDirectionId(direction);
    file.SetGuid(quillon::NewGuidString());
    file.SetTitleBytes("test");
    if (linked) {
        const auto general = General(direction == kER ? "ER" : "RE");
        file.SetLinkNumber(general.LinkNumber());
        file.SetLinkCode(general.LinkCode());
        file.SetFormatLevel(general.FormatLevel());
    }
    for (std::size_t i = 0; i < entries; ++i)
        file.Entries().push_back({"word" + std::to_string(i), {"слово " + std::to_string(i)}});
    const std::string path = work_ + "/" + name;
    std::string error;
    EXPECT_TRUE(WriteDictionaryFile(path, file, error)) << error;
    return path;
}

std::string ProductFixture::GuidOf(const std::string& path) const {
    std::string error;
    auto file = ReadDictionaryFile(path, error);
    return file ? file->Guid() : std::string();
}

std::string ProductFixture::ProfileXml(const std::string& name, std::uint32_t direction,
                                       const std::vector<std::string>& dictionaries,
                                       const std::vector<std::string>& tmBases) {
    std::string xml = "<?xml version=\"1.0\"?>\r\n<Topic><DirID>" + std::to_string(direction) + "</DirID><Name>" +
                      name + "</Name><FilePath>" + name + ".tpl</FilePath><ShowVariants>1</ShowVariants>"
                      "<TranslitUnk>0</TranslitUnk><FullName>Профиль " + name + "</FullName>";
    for (const auto& uid : dictionaries)
        xml += "<Dict><UID>" + uid + "</UID><DirID>" + std::to_string(direction) + "</DirID><Name>d</Name>"
               "<File>d.er</File><FullName>d</FullName></Dict>";
    for (const auto& uid : tmBases)
        xml += "<Memory><UID>" + uid + "</UID><DirID>" + std::to_string(direction) + "</DirID><Name>t</Name>"
               "<File>t.tmb</File><FullName>t</FullName></Memory>";
    return xml + "</Topic>";
}

std::vector<std::string> ProductFixture::FilesIn(const std::string& folder) const {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(dir))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.emplace_back(e->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace kaldo::test
