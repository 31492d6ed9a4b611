// quillon-dist verify DIST [--json]: a whole distribution checked (tools/DistributionVerifier.h).
// Exit 0 when no error is found (warnings allowed), 1 when one is, 2 on bad usage.
#include "ReferenceDictionaryFormat.h"
#include "distribution/FormatGroupedNumber.h"
#include "support/Json.h"
#include "support/Text.h"
#include "tools/Commands.h"
#include "tools/DistributionVerifier.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace quillon::dist {
namespace {

std::string Json(const VerifyReport& r) {
    std::string out = "{\"distribution\":" + JsonString(r.folder) + ",\"findings\":[";
    for (std::size_t i = 0; i < r.findings.size(); ++i) {
        const Finding& f = r.findings[i];
        out += std::string(i ? "," : "") + "{\"severity\":\"" + SeverityName(f.severity) +
               "\",\"check\":" + JsonString(f.check) + ",\"section\":" + JsonString(f.section) +
               ",\"file\":" + JsonString(f.file) + ",\"text\":" + JsonString(f.text) + "}";
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", r.seconds);
    out += "],\"summary\":{\"collections\":" + std::to_string(r.collections) +
           ",\"profiles\":" + std::to_string(r.profiles) +
           ",\"dictionaries\":" + std::to_string(r.dictionaries) +
           ",\"tmBases\":" + std::to_string(r.basesTM) +
           ",\"packedBytes\":" + std::to_string(r.packedBytes) +
           ",\"unpackedBytes\":" + std::to_string(r.unpackedBytes) +
           ",\"errors\":" + std::to_string(r.Errors()) +
           ",\"warnings\":" + std::to_string(r.Warnings()) + ",\"seconds\":" + seconds + "}";
    return out + ",\"exitCode\":" + std::to_string(r.Errors() ? 1 : 0) + "}";
}

} // namespace

int VerifyFolder(const Args& args) {
    const bool json = args.Has("json");
    const Args& folders = args;
    if (folders.size() != 1)
        return UsageError("verify takes one distribution folder DIST", json);
    struct stat st {};
    std::string what;
    if (::stat(folders[0].c_str(), &st) != 0)
        what = folders[0] + ": " + std::strerror(errno);
    else if (!S_ISDIR(st.st_mode))
        what = folders[0] + ": not a folder";
    if (!what.empty()) {
        if (json)
            return JsonFailure(what, 1);
        std::fprintf(stderr, "quillon-dist: %s\n", TerminalSafe(what).c_str());
        return 1;
    }
    const kaldo::ReferenceDictionaryFormat format;
    const VerifyReport report = VerifyDistribution(folders[0], &format);
    if (json) {
        std::puts(Json(report).c_str());
    } else {
        for (const Finding& f : report.findings)
            std::printf("%s: %s%s%s\n", SeverityName(f.severity), f.section.empty() ? "" : "[",
                        f.section.empty() ? "" : (f.section + "] ").c_str(), f.text.c_str());
        std::printf("%s: %d collections, %d profiles, %d dictionaries (%s bytes packed, %s "
                    "unpacked), %d TM "
                    "bases: %d errors, %d warnings\n",
                    report.folder.empty() ? folders[0].c_str() : report.folder.c_str(),
                    report.collections, report.profiles, report.dictionaries,
                    FormatGroupedNumber(report.packedBytes).c_str(),
                    FormatGroupedNumber(report.unpackedBytes).c_str(), report.basesTM,
                    report.Errors(), report.Warnings());
    }
    return report.Errors() ? 1 : 0;
}

} // namespace quillon::dist
