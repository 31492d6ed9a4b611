// quillon-dist dict: makes dictionary files of the reference product's format from a word list,
// so that distributions carry real dictionaries (format in docs/dictionary-files.md).
#include "tools/Commands.h"
#include "tools/WordList.h"

#include "DictionaryFile.h"
#include "DirectionTable.h"
#include "support/Guid.h"
#include "support/Text.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace quillon::dist {
namespace {

std::optional<long long> Number(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0')
        return std::nullopt;
    return v;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "quillon-dist: %s\n", message.c_str());
    return 1;
}

int Make(const Args& args) {
    if (!args.empty())
        return UsageError("dict make takes options only, not '" + args[0] + "'");
    const std::string words = args.Value("words"), out = args.Value("out"), title = args.Value("title"),
                      remarks = args.Value("remarks"), copyright = args.Value("copyright");
    const std::string guid = args.Has("guid") ? args.Value("guid") : NewGuidString();
    long long version = 4, linkNumber = 0, linkCode = 0, level = 0;
    std::uint32_t direction = 0;
    if (args.Has("direction")) {
        const std::string v = args.Value("direction");
        direction = kaldo::DirectionIdFromCode(v);
        if (const auto n = Number(v); v.size() != 2 && n)
            direction = static_cast<std::uint32_t>(*n);
        if (direction == 0 || kaldo::DirectionCode(direction).empty())
            return Fail("unknown direction \"" + v + "\"");
    }
    for (auto [name, field] : {std::pair{"version", &version}, std::pair{"link-number", &linkNumber},
                               std::pair{"link-code", &linkCode}, std::pair{"format-level", &level}}) {
        if (!args.Has(name))
            continue;
        const auto n = Number(args.Value(name));
        if (!n)
            return UsageError(std::string("dict make: --") + name + " takes a number, not '" + args.Value(name) + "'");
        *field = *n;
    }
    if (words.empty() || out.empty())
        return UsageError("dict make needs --words LIST.txt and --out FILE");
    if (version < kaldo::kMinDictVersion || version > kaldo::kMaxDictVersion)
        return Fail("format version must be 1 to 5");
    if (linkCode < 0 || linkCode > 255 || linkNumber < INT32_MIN || linkNumber > 0xFFFFFFFFll ||
        level < INT32_MIN || level > INT32_MAX)
        return Fail("link attribute out of range");
    if (!IsGuidString(guid))
        return Fail("\"" + guid + "\" is not a GUID in registry form");
    kaldo::DictionaryHead head;
    head.SetVersion(static_cast<std::uint16_t>(version));
    head.SetLinkNumber(static_cast<std::int32_t>(static_cast<std::uint32_t>(linkNumber)));
    head.SetLinkCode(static_cast<std::uint8_t>(linkCode));
    head.SetFormatLevel(static_cast<std::int32_t>(level));
    head.SetDirectionId(direction);
    head.SetGuid(guid);
    head.SetTitleBytes(Utf8ToCp1251(title));
    if (version >= kaldo::kPropertiesVersion) {
        auto both = [&](const char* name, const std::string& value) {
            if (value.empty())
                return;
            const std::string ansi = Utf8ToCp1251(value);
            head.SetProperty(name, std::vector<std::uint8_t>(ansi.begin(), ansi.end()));
            head.SetProperty(std::string(name) + "_w", Utf8ToUtf16LeBytes(value, false));
        };
        both("title", title);
        both("remarks", remarks);
        both("copyright", copyright);
    }
    // Streamed from the word list into the file: any size the disk holds, in bounded memory.
    std::string error;
    kaldo::DictionaryWriter writer;
    if (!writer.Open(out, error))
        return Fail(error);
    WordListError listError;
    if (!ReadWordList(words, [&](kaldo::DictionaryEntry&& entry) { return writer.Add(entry, error); }, listError))
        return Fail(!error.empty()        ? error
                    : listError.line == 0 ? listError.what
                                          : words + ": line " + std::to_string(listError.line) + ": " + listError.what);
    if (!writer.Finish(head, error))
        return Fail(error);
    std::printf("%s: %llu entries, version %lld, %s\n", out.c_str(), static_cast<unsigned long long>(writer.EntryCount()),
                version, guid.c_str());
    return 0;
}

// The head, read alone (the body is not read: a file of any size shows at once); with
// --entries the entries too, which reads the file whole (at most 512 MiB).
int Show(const Args& args) {
    if (args.size() != 1)
        return UsageError(args.empty() ? "dict show needs a FILE" : "dict show takes one FILE");
    std::string error;
    const auto info = kaldo::ReadDictionaryHead(args[0], error);
    if (!info)
        return Fail(error);
    const kaldo::DictionaryHead& head = info->head;
    std::printf("version %u\nGUID %s\ndirection 0x%08X %s\nLinkNumber %d\nLinkCode %u\nFormatLevel %d\ntitle %s\n",
                head.Version(), TerminalSafe(head.Guid()).c_str(), head.DirectionId(),
                kaldo::DirectionCode(head.DirectionId()).c_str(), head.LinkNumber(), head.LinkCode(),
                head.FormatLevel(), TerminalSafe(Cp1251ToUtf8(head.TitleBytes())).c_str());
    for (const auto& [name, bytes] : head.Properties())
        std::printf("property %s (%zu bytes)\n", TerminalSafe(name).c_str(), bytes.size());
    std::printf("%llu entries\n", static_cast<unsigned long long>(info->entryCount));
    if (!args.Has("entries"))
        return 0;
    auto file = kaldo::ReadDictionaryFile(args[0], error);
    if (!file)
        return Fail(error);
    for (const auto& e : file->Entries()) {
        std::printf("%s", TerminalSafe(e.word).c_str());
        for (const auto& l : e.lines)
            std::printf("\t%s", TerminalSafe(l).c_str());
        std::printf("\n");
    }
    return 0;
}

} // namespace

const std::vector<Command>& DictCommands() {
    static const std::vector<Command> commands{
        {"dict make",
         "--words LIST.txt --out FILE [--version 1..5] [--title T] [--remarks T] [--copyright T] [--direction ER|0xID] "
         "[--link-number N] [--link-code N] [--format-level N] [--guid {...}]",
         Make,
         {{"words", 0, true}, {"out", 0, true}, {"version", 0, true}, {"title", 0, true}, {"remarks", 0, true},
          {"copyright", 0, true}, {"direction", 0, true}, {"link-number", 0, true}, {"link-code", 0, true},
          {"format-level", 0, true}, {"guid", 0, true}}},
        {"dict show", "FILE [--entries]   the head (and with --entries every entry)", Show, {{"entries", 0, false}}},
    };
    return commands;
}

} // namespace quillon::dist
