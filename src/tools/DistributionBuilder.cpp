#include "tools/DistributionBuilder.h"

#include "DictionaryFile.h"
#include "ReferenceDictionaryFormat.h"
#include "descriptions/LanguageDirections.h"
#include "descriptions/ProfileWriter.h"
#include "descriptions/XCryptedProfile2.h"
#include "install/Packer.h"
#include "support/AtomicFile.h"
#include "support/CompoundFileWriter.h"
#include "support/Guid.h"
#include "support/Text.h"
#include "tools/DistributionVerifier.h"
#include "tools/WordList.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quillon::dist {
namespace {


std::string Join(const std::vector<std::string>& pieces) {
    std::string out;
    for (const auto& p : pieces)
        out += (out.empty() ? "" : ";") + p;
    return out;
}

class Builder {
public:
    Builder(const Manifest& m, std::vector<std::string>& warnings) : m_(m), warnings_(warnings) {}

    bool Run(const std::string& outDir, const BuildOptions& options, std::string& error) {
        options_ = options;
        if (!MakeTempFolder(outDir))
            return Done(error);
        bool ok = WriteItems() && WriteDescriptions(options.setupInf) && Verified() && Publish(outDir);
        if (!ok) {
            std::error_code ec;
            std::filesystem::remove_all(temp_, ec);
        }
        return ok || Done(error);
    }

private:
    bool Done(std::string& error) {
        error = error_;
        return false;
    }
    bool Fail(std::string what) {
        error_ = std::move(what);
        return false;
    }

    bool MakeTempFolder(const std::string& outDir) {
        std::string dir = outDir;
        while (dir.size() > 1 && dir.back() == '/')
            dir.pop_back();
        if (dir.empty() || dir == "/" || dir == "." || dir == "..")
            return Fail("\"" + outDir + "\" cannot be the output folder");
        struct stat st {};
        if (::lstat(dir.c_str(), &st) == 0) {
            std::error_code ec;
            if (!S_ISDIR(st.st_mode) || !std::filesystem::is_empty(dir, ec))
                return Fail(outDir +
                            ": already exists (remove it or choose another output folder)");
        }
        const auto slash = dir.rfind('/');
        const std::string parent = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : dir.substr(0, slash);
        const std::string name = slash == std::string::npos ? dir : dir.substr(slash + 1);
        std::string pattern = parent + "/." + name + ".build-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            return Fail(parent + ": cannot create a working folder there: " + std::strerror(errno));
        temp_ = pattern;
        return true;
    }

    // Folders below the working folder for `relative` (separated by '/' or '\').
    std::string Prepare(const std::string& relative) {
        std::string path = temp_;
        std::size_t start = 0;
        for (;;) {
            const auto sep = relative.find_first_of("/\\", start);
            path += "/" + relative.substr(start, sep == std::string::npos ? std::string::npos
                                                                          : sep - start);
            if (sep == std::string::npos)
                return path;
            if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
                return {};
            start = sep + 1;
        }
    }

    bool WriteBytes(const std::string& relative, const void* data, std::size_t size) {
        const std::string path = Prepare(relative);
        AtomicFile out;
        if (path.empty() || !out.Begin(path, 0666) || !out.Write(data, size) || !out.Commit(false))
            return Fail(relative + ": cannot be written: " +
                        (path.empty() ? std::strerror(errno) : out.Error()));
        return true;
    }

    // Copies `source` to `relative`; answers the bytes copied, or -1.
    std::int64_t Copy(const std::string& source, const std::string& relative) {
        const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            Fail(source + ": cannot be read: " + std::strerror(errno));
            return -1;
        }
        const std::string path = Prepare(relative);
        AtomicFile out;
        if (path.empty() || !out.Begin(path, 0666)) {
            ::close(fd);
            Fail(relative +
                 ": cannot be written: " + (path.empty() ? std::strerror(errno) : out.Error()));
            return -1;
        }
        std::vector<char> buffer(1 << 20);
        std::int64_t total = 0;
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                ::close(fd);
                Fail(source + ": cannot be read: " + std::strerror(errno));
                return -1;
            }
            if (n == 0)
                break;
            if (!out.Write(buffer.data(), static_cast<std::size_t>(n))) {
                ::close(fd);
                Fail(relative + ": cannot be written: " + out.Error());
                return -1;
            }
            total += n;
        }
        ::close(fd);
        if (!out.Commit(false)) {
            Fail(relative + ": cannot be written: " + out.Error());
            return -1;
        }
        return total;
    }

    // The Size entry for a file of `size` bytes: it is 32-bit, so a larger file declares the
    // largest size it can (the installer only estimates disk space from it) and is warned about.
    std::int64_t DeclaredSize(const std::string& key, std::int64_t size) {
        if (size <= INT32_MAX)
            return size;
        warnings_.push_back(m_.path + ": warning: " + key + ": " + std::to_string(size) +
                            " bytes do not fit the 32-bit Size entry; it declares " +
                            std::to_string(INT32_MAX) + " (the installer's disk-space figure will be low)");
        return INT32_MAX;
    }

    // Packs the unpacked dictionary `unpacked` to the dictionary's place, noting its size.
    bool PackDictionary(const ManifestDictionary& d, const std::string& unpacked) {
        struct stat st {};
        if (::stat(unpacked.c_str(), &st) != 0)
            return Fail(unpacked + ": " + std::strerror(errno));
        sizes_[d.key] = d.size ? *d.size : DeclaredSize(d.key, static_cast<std::int64_t>(st.st_size));
        const std::string path = Prepare(d.file.nameOnCD);
        PackOptions pack;
        pack.best = options_.best;
        const auto total = static_cast<std::uint64_t>(st.st_size);
        const auto report = [&](std::uint64_t done) {
            if (options_.progress)
                options_.progress(number_, m_.dictionaries.size(), d.key, total ? int(done * 100 / total) : 100);
            return true;
        };
        if (path.empty() || PackFile(unpacked, path, pack, report) != kPackOk)
            return Fail(d.file.nameOnCD + ": cannot be written: " + std::strerror(errno ? errno : EIO));
        return true;
    }

    // The unpacked dictionary file of `d`: the given file, checked, or one compiled from the word
    // list into `compiled` (in the staging folder, removed by the caller). Both stream: a word
    // list or dictionary of any size the disk holds passes in bounded memory.
    bool DictionaryFileOf(const ManifestDictionary& d, const std::string& compiled, std::string& path) {
        std::string error;
        if (!d.fromWords) {
            kaldo::DictionaryHeadInfo info;
            if (!kaldo::VerifyDictionary(d.file.source, error, &info))
                return Fail(d.file.source + ": not a dictionary file: " + error);
            if (info.head.DirectionId() != DirectionFromCode(d.direction))
                warnings_.push_back(
                    m_.path + ":" + std::to_string(d.line) + ": warning: dictionary \"" + d.key +
                    "\" is marked " + d.direction + " but its file says " +
                    CodeFromDirection(info.head.DirectionId()) + ": the installer will refuse it");
            path = d.file.source;
            return true;
        }
        if (!CompileWords(d, compiled, error))
            return Fail(error);
        path = compiled;
        return true;
    }

    // Compiles the word list of `d` into `compiled`; touches nothing of the builder, so it may
    // run on a thread of its own while the dictionary before it is packed.
    static bool CompileWords(const ManifestDictionary& d, const std::string& compiled, std::string& error) {
        std::string title = d.title;
        if (title.empty())
            title = d.names.empty() ? d.key : d.names.front().second;
        kaldo::DictionaryHead head;
        head.SetVersion(d.version);
        head.SetLinkNumber(d.linkNumber);
        head.SetLinkCode(d.linkCode);
        head.SetFormatLevel(d.formatLevel);
        head.SetDirectionId(DirectionFromCode(d.direction));
        head.SetGuid(d.guid.empty() ? NewGuidString() : d.guid);
        head.SetTitleBytes(Utf8ToCp1251(title));
        if (d.version >= kaldo::kPropertiesVersion) {
            const std::string ansi = Utf8ToCp1251(title);
            head.SetProperty("title", std::vector<std::uint8_t>(ansi.begin(), ansi.end()));
            head.SetProperty("title_w", Utf8ToUtf16LeBytes(title, false));
        }
        kaldo::DictionaryWriter writer;
        if (!writer.Open(compiled, error))
            return false;
        WordListError listError;
        if (!ReadWordList(d.file.source, [&](kaldo::DictionaryEntry&& e) { return writer.Add(e, error); }, listError)) {
            if (error.empty())
                error = listError.line == 0 ? listError.what
                                            : d.file.source + ":" + std::to_string(listError.line) + ": " + listError.what;
            return false;
        }
        if (writer.EntryCount() == 0) {
            error = d.file.source + ": the word list holds no entry";
            return false;
        }
        return writer.Finish(head, error);
    }

    // The dictionaries, one after another, each packed on every processor; the next one's word
    // list compiles on a thread of its own meanwhile (two compiled files at most, in turn).
    bool WriteItems() {
        const std::string compiled[2] = {temp_ + "/.compiled-dictionary-0", temp_ + "/.compiled-dictionary-1"};
        const auto& all = m_.dictionaries;
        struct Ahead {
            std::thread thread;
            bool ok = false;
            std::string error;
        } ahead;
        const auto startAhead = [&](std::size_t k) {
            if (k < all.size() && all[k].fromWords)
                ahead.thread = std::thread([&, k] { ahead.ok = CompileWords(all[k], compiled[k % 2], ahead.error); });
        };
        bool ok = true;
        startAhead(0);
        for (std::size_t k = 0; k < all.size() && ok; ++k) {
            const auto& d = all[k];
            ++number_;
            if (options_.progress)
                options_.progress(number_, all.size(), d.key, -1);
            std::string unpacked;
            if (d.fromWords) {
                ahead.thread.join();
                ok = ahead.ok || Fail(ahead.error);
                unpacked = compiled[k % 2];
            } else {
                ok = DictionaryFileOf(d, compiled[k % 2], unpacked);
            }
            if (ok)
                startAhead(k + 1);
            ok = ok && PackDictionary(d, unpacked);
            ::unlink(compiled[k % 2].c_str());
        }
        if (ahead.thread.joinable())
            ahead.thread.join();
        ::unlink(compiled[0].c_str());
        ::unlink(compiled[1].c_str());
        if (!ok)
            return false;
        for (const auto& t : m_.baseTM) {
            const std::int64_t n = Copy(t.file.source, t.file.nameOnCD);
            if (n < 0)
                return false;
            sizes_[t.key] = t.size ? *t.size : DeclaredSize(t.key, n);
        }
        std::map<std::string, std::string> placed; // NameOnCD -> source, for shared files
        auto copyOnce = [&](const PlacedFile& f) -> std::int64_t {
            std::string folded = FoldCase(f.nameOnCD);
            for (char& c : folded)
                if (c == '\\')
                    c = '/';
            if (placed.count(folded))
                return 0;
            placed[folded] = f.source;
            return Copy(f.source, f.nameOnCD);
        };
        for (const auto& p : m_.profiles) {
            std::int64_t n = 0;
            if (p.file && (n = copyOnce(*p.file)) < 0)
                return false;
            sizes_[p.key] = p.size ? *p.size : DeclaredSize(p.key, n);
            if (p.keywordsFile && copyOnce(*p.keywordsFile) < 0)
                return false;
            if (p.wwtFile && copyOnce(*p.wwtFile) < 0)
                return false;
        }
        return true;
    }

    void AddCommon(CXCryptedProfile2& ini, const ManifestItem& item, const std::string& nameOnCD) {
        ini.AddSection(item.key);
        ini.AddEntry(item.key, "Direction", CProfileValue::String(item.direction));
        for (const auto& [name, text] : item.names)
            ini.AddEntry(item.key, name, CProfileValue::String(text));
        const std::int64_t size = item.size ? *item.size : sizes_[item.key];
        ini.AddEntry(item.key, "Size", CProfileValue::Int(static_cast<std::int32_t>(size)));
        if (!nameOnCD.empty())
            ini.AddEntry(item.key, "NameOnCD", CProfileValue::String(nameOnCD));
    }

    static void AddFlag(CXCryptedProfile2& ini, const std::string& key, const char* name,
                        const std::optional<TextOrFlag>& flag) {
        if (flag)
            ini.AddEntry(key, name,
                         flag->isText ? CProfileValue::String(flag->text)
                                      : CProfileValue::Int(flag->number));
    }

    void FillSetupIni(CXCryptedProfile2& ini) {
        ini.AddSection("Info");
        for (const auto& [name, text] : m_.info)
            ini.AddEntry("Info", name, CProfileValue::String(text));
        for (const auto& p : m_.profiles) {
            AddCommon(ini, p, p.file ? p.file->nameOnCD : std::string());
            const auto list = [&](const char* name, const std::vector<std::string>& keys) {
                if (!keys.empty())
                    ini.AddEntry(p.key, name, CProfileValue::String(Join(keys)));
            };
            list("Dictionaries", p.dictionaries);
            list("BaseTM", p.baseTM);
            list("Preproc", p.preprocessors);
            for (const auto& [key, mask] : p.masks)
                ini.AddEntry(p.key, "Preproc." + key, CProfileValue::Int(mask));
            for (std::size_t i = 0; i < p.algorithms.size(); ++i)
                ini.AddEntry(p.key, "Algo." + std::to_string(i + 1),
                             CProfileValue::String(p.algorithms[i]));
            for (std::size_t i = 0; i < p.keywords.size(); ++i)
                ini.AddEntry(p.key, "Keywords." + std::to_string(i + 1),
                             CProfileValue::String(p.keywords[i]));
            if (p.keywordsFile)
                ini.AddEntry(p.key, "Keywords", CProfileValue::String(p.keywordsFile->nameOnCD));
            if (p.wwtFile)
                ini.AddEntry(p.key, "WWT", CProfileValue::String(p.wwtFile->nameOnCD));
            AddFlag(ini, p.key, "ShowTransVariants", p.showTransVariants);
            AddFlag(ini, p.key, "TranslitUnknown", p.translitUnknown);
        }
        for (const auto& d : m_.dictionaries)
            AddCommon(ini, d, d.file.nameOnCD);
        for (const auto& t : m_.baseTM)
            AddCommon(ini, t, t.file.nameOnCD);
        for (const auto& pp : m_.preprocessors) {
            ini.AddSection(pp.key);
            ini.AddEntry(pp.key, "UID", CProfileValue::String(pp.uid));
        }
    }

    void FillRaviriInf(CXCryptedProfile2& inf) const {
        for (const auto& c : m_.collections) {
            const std::string templates = c.id + " - templates";
            inf.AddSection(templates);
            for (const auto& p : c.profiles)
                inf.AddEntry(templates, p, CProfileValue::Int(1));
            if (c.names.empty())
                continue;
            const std::string collection = c.id + " - collection";
            inf.AddSection(collection);
            for (const auto& [name, text] : c.names)
                inf.AddEntry(collection, name, CProfileValue::String(text));
        }
    }

    bool WriteDescriptions(bool setupInf) {
        CXCryptedProfile2 raviri(1), setup(1);
        FillRaviriInf(raviri);
        FillSetupIni(setup);
        std::vector<std::uint8_t> raviriImage, setupImage;
        std::string error;
        if (!WriteProfileImage(raviri, raviriImage, &error) ||
            !WriteProfileImage(setup, setupImage, &error))
            return Fail("description files: " + error);
        if (!setupInf)
            return WriteBytes("RAVIRI.INF", raviriImage.data(), raviriImage.size()) &&
                   WriteBytes("SETUP.INI", setupImage.data(), setupImage.size());
        CompoundFileWriter writer;
        if (!writer.AddStream("RAVIRI.INF", std::move(raviriImage)) ||
            !writer.AddStream("SETUP.INI", std::move(setupImage)))
            return Fail("setup.inf: " + writer.Error());
        const auto image = writer.Build();
        return WriteBytes("setup.inf", image.data(), image.size());
    }

    // What verify would call an error is not published: the installation would fail there.
    bool Verified() {
        const kaldo::ReferenceDictionaryFormat format;
        const VerifyReport report = VerifyDistribution(temp_, &format);
        for (const Finding& f : report.findings)
            if (f.severity == Finding::Severity::Error)
                warnings_.push_back(m_.path + ": error: " + (f.section.empty() ? "" : "[" + f.section + "] ") + f.text);
        if (report.Errors() == 0)
            return true;
        return Fail("the distribution would not install (quillon-dist verify finds " +
                    std::to_string(report.Errors()) + " error(s)); nothing is written");
    }

    bool Publish(const std::string& outDir) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::chmod(temp_.c_str(), 0777 & ~mask) != 0)
            return Fail(temp_ + ": " + std::strerror(errno));
        std::string dir = outDir;
        while (dir.size() > 1 && dir.back() == '/')
            dir.pop_back();
        // rename() replaces an empty folder only; anything that appeared meanwhile stays.
        if (::rename(temp_.c_str(), dir.c_str()) != 0)
            return Fail(outDir + ": cannot be put in place: " + std::strerror(errno));
        return true;
    }

    const Manifest& m_;
    std::vector<std::string>& warnings_;
    BuildOptions options_;
    std::size_t number_ = 0; // the dictionary being written, from 1
    std::string temp_;
    std::string error_;
    std::map<std::string, std::int64_t> sizes_;
};

} // namespace

bool BuildDistribution(const Manifest& manifest, const std::string& outDir,
                       const BuildOptions& options, std::string& error,
                       std::vector<std::string>& warnings) {
    return Builder(manifest, warnings).Run(outDir, options, error);
}

} // namespace quillon::dist
