#include "DictionaryFile.h"

#include "support/Crc32.h"
#include "testsupport/TempDir.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kaldo {
namespace {

DictionaryFile Sample(std::uint16_t version) {
    DictionaryFile f;
    f.SetVersion(version);
    f.SetLinkNumber(-123456);
    f.SetLinkCode(0xAB);
    f.SetFormatLevel(72);
    f.SetDirectionId(0x00020001);
    f.SetGuid("{01234567-89AB-4CDE-8F01-23456789ABCD}");
    f.SetTitleBytes("Title");
    f.SetProperty("remarks_w", {'a', 0, 'b', 0});
    f.Entries().push_back({"house", {"дом", "здание"}});
    f.Entries().push_back({"cat", {}});
    return f;
}

// Re-seals bytes edited by a test so that only the edit, not the checksum, is what breaks.
std::string Reseal(std::string bytes) {
    const std::uint32_t crc = quillon::Crc32::Of(bytes.data(), bytes.size() - 4);
    for (int i = 0; i < 4; ++i)
        bytes[bytes.size() - 4 + static_cast<std::size_t>(i)] = static_cast<char>(crc >> (8 * i));
    return bytes;
}

TEST(DictionaryFile, BothLayoutsRoundTripEveryFieldWithTheTitleAtOffsetSixOfTheHeader) {
    const DictionaryFile f = Sample(4);
    std::string error;
    // Slotted: the header block opens slot A's content (prefix 32 bytes, slot header 16).
    const std::string slotted = SerializeDictionary(f);
    auto back = ParseDictionary(slotted, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(*back, f);
    EXPECT_EQ(back->LinkNumber(), -123456);
    EXPECT_EQ(back->LinkCode(), 0xAB);
    EXPECT_EQ(back->Guid(), "{01234567-89AB-4CDE-8F01-23456789ABCD}");
    EXPECT_EQ(slotted.substr(48 + kTitleOffset, 6), std::string("Title\0", 6));
    // Legacy: the header block starts at byte 8; such files stay readable.
    const std::string legacy = SerializeLegacyDictionary(f);
    back = ParseDictionary(legacy, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(*back, f);
    EXPECT_EQ(legacy.substr(8 + kTitleOffset, 6), std::string("Title\0", 6));
}

TEST(DictionaryFile, NamedPropertiesAreNotStoredBeforeVersionFour) {
    std::string error;
    auto back = ParseDictionary(SerializeDictionary(Sample(3)), error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(back->Properties().empty());
    EXPECT_EQ(back->Entries().size(), 2u);
}

TEST(DictionaryFile, TitleKeepsFifteenBytesAndAZero) {
    DictionaryFile f;
    f.SetTitleBytes("12345678901234567890");
    EXPECT_EQ(f.TitleBytes(), "123456789012345");
    EXPECT_EQ(f.Header()[kTitleOffset + 15], 0);
}

TEST(DictionaryFile, DamagedLegacyFilesDoNotLoad) {
    const std::string good = SerializeLegacyDictionary(Sample(4));
    std::string error;
    // truncated anywhere
    for (std::size_t cut : {std::size_t(0), std::size_t(3), std::size_t(50), good.size() - 1})
        EXPECT_FALSE(ParseDictionary(good.substr(0, cut), error)) << cut;
    // a flipped byte breaks the checksum
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x40;
    EXPECT_FALSE(ParseDictionary(flipped, error));
    EXPECT_NE(error.find("checksum"), std::string::npos);
    // bad magic and bad version
    std::string magic = good;
    magic[0] = 'X';
    EXPECT_FALSE(ParseDictionary(Reseal(magic), error));
    std::string version = good;
    version[4] = 9;
    EXPECT_FALSE(ParseDictionary(Reseal(version), error));
    EXPECT_NE(error.find("version"), std::string::npos);
    // a property count far beyond the data
    std::string count = good;
    count[8 + kHeaderBlockSize + 3] = 0x7F;
    EXPECT_FALSE(ParseDictionary(Reseal(count), error));
    EXPECT_NE(error.find("property count"), std::string::npos);
    // the same property name twice
    DictionaryFile twice;
    twice.SetProperty("aaaa", {'1'});
    twice.SetProperty("bbbb", {'2'});
    std::string doubled = SerializeLegacyDictionary(twice);
    EXPECT_TRUE(ParseDictionary(doubled, error)) << error;
    doubled.replace(doubled.find("bbbb"), 4, "aaaa");
    EXPECT_FALSE(ParseDictionary(Reseal(doubled), error));
    EXPECT_NE(error.find("twice"), std::string::npos);
    // an entry whose line length runs past the end
    std::string line = good;
    const auto at = line.find("дом") - 4;
    line[at + 3] = 0x10;
    EXPECT_FALSE(ParseDictionary(Reseal(line), error));
    EXPECT_NE(error.find("past the end"), std::string::npos);
}

// Random damage with a valid checksum reaches every length and count check: whatever parses
// must write back to the very same bytes, everything else must fail with a message.
TEST(DictionaryFile, RandomDamageEitherParsesExactlyOrFailsCleanly) {
    const std::string good = SerializeLegacyDictionary(Sample(4));
    std::mt19937 random(12345);
    int parsed = 0, refused = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string bytes = good;
        const int edits = 1 + static_cast<int>(random() % 3);
        for (int e = 0; e < edits; ++e)
            bytes[random() % (bytes.size() - 4)] = static_cast<char>(random());
        if (random() % 4 == 0)
            bytes.erase(8 + random() % (bytes.size() - 12), 1 + random() % 8);
        bytes = Reseal(bytes);
        std::string error;
        auto file = ParseDictionary(bytes, error);
        if (file) {
            ++parsed;
            ASSERT_EQ(SerializeLegacyDictionary(*file), bytes) << "round " << round;
        } else {
            ++refused;
            ASSERT_FALSE(error.empty());
        }
    }
    EXPECT_GT(parsed, 0);
    EXPECT_GT(refused, 0);
}

TEST(DictionaryFile, WriteReplacesTheFileAtomicallyAndLeavesNoTemporary) {
    quillon::test::TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteDictionaryFile(dir / "a.er", Sample(4), error)) << error;
    ASSERT_TRUE(WriteDictionaryFile(dir / "a.er", Sample(2), error)) << error;
    auto back = ReadDictionaryFile(dir / "a.er", error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->Version(), 2);
    EXPECT_FALSE(WriteDictionaryFile(dir / "missing/a.er", Sample(4), error));
    EXPECT_FALSE(ReadDictionaryFile(dir / "missing.er", error));
}

std::string Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void Store(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// A head change is written in place, into the slot not in force: the body's bytes and the file's
// size stay, the generation grows, the two slots take turns.
TEST(DictionaryFile, HeadChangesAreWrittenInPlaceIntoTheOtherSlot) {
    quillon::test::TempDir dir;
    const std::string path = dir / "a.er";
    std::string error;
    ASSERT_TRUE(WriteDictionaryFile(path, Sample(4), error)) << error;
    const std::string before = Load(path);
    auto info = ReadDictionaryHead(path, error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->layout, DictionaryLayout::Slotted);
    EXPECT_EQ(info->entryCount, 2u);
    for (int round = 1; round <= 3; ++round) {
        DictionaryHead head = info->head;
        head.SetLinkNumber(round);
        head.SetProperty("remarks_w", Bytes(std::string(100 * std::size_t(round), 'r')));
        ASSERT_TRUE(WriteDictionaryHead(path, head, true, error)) << error;
        auto next = ReadDictionaryHead(path, error);
        ASSERT_TRUE(next) << error;
        EXPECT_EQ(next->head, head);
        EXPECT_EQ(next->generation, info->generation + 1);
        EXPECT_NE(next->slot, info->slot);
        info = next;
    }
    const std::string after = Load(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(info->bodyOffset), before.substr(info->bodyOffset));
    ASSERT_TRUE(VerifyDictionary(path, error)) << error;
    EXPECT_EQ(ReadDictionaryFile(path, error)->Entries(), Sample(4).Entries());
}

// A torn head write spoils only the slot being written: the head in force before it is read.
// With both slots spoiled the file does not load; a spoiled body is found by a full check.
TEST(DictionaryFile, ATornHeadLeavesTheOldHeadAndDamageIsReported) {
    quillon::test::TempDir dir;
    const std::string path = dir / "a.er";
    std::string error;
    ASSERT_TRUE(WriteDictionaryFile(path, Sample(4), error)) << error;
    auto old = ReadDictionaryHead(path, error);
    ASSERT_TRUE(old);
    DictionaryHead head = old->head;
    head.SetLinkNumber(77);
    ASSERT_TRUE(WriteDictionaryHead(path, head, false, error)) << error;
    std::string bytes = Load(path);
    const std::size_t newSlot = 32 + std::size_t(1 - old->slot) * old->slotSize;
    for (std::size_t i = 40; i < 200; ++i)   // a write cut off after its first bytes
        bytes[newSlot + i] = 0;
    Store(path, bytes);
    auto torn = ReadDictionaryHead(path, error);
    ASSERT_TRUE(torn) << error;
    EXPECT_EQ(torn->head.LinkNumber(), old->head.LinkNumber());
    EXPECT_EQ(torn->generation, old->generation);

    const std::size_t oldSlot = 32 + std::size_t(old->slot) * old->slotSize;
    bytes[oldSlot + 20] ^= 0x01;
    Store(path, bytes);
    EXPECT_FALSE(ReadDictionaryHead(path, error));
    EXPECT_NE(error.find("head"), std::string::npos);

    ASSERT_TRUE(WriteDictionaryFile(path, Sample(4), error)) << error;
    bytes = Load(path);
    bytes[bytes.size() - 3] ^= 0x20;   // in the last entry
    Store(path, bytes);
    EXPECT_TRUE(ReadDictionaryHead(path, error)) << error;
    EXPECT_FALSE(VerifyDictionary(path, error));
    EXPECT_NE(error.find("checksum"), std::string::npos);
    Store(path, bytes.substr(0, bytes.size() - 1));
    EXPECT_FALSE(ReadDictionaryHead(path, error));
    EXPECT_NE(error.find("truncated"), std::string::npos);
}

// A legacy file is read as it is, and its first head change rewrites it in the slotted layout;
// a damaged one is not rewritten. A head that outgrows its slot gets a larger one.
TEST(DictionaryFile, LegacyFilesAndGrownHeadsAreRewrittenWithTheirEntries) {
    quillon::test::TempDir dir;
    const std::string path = dir / "old.er";
    std::string error;
    Store(path, SerializeLegacyDictionary(Sample(4)));
    auto info = ReadDictionaryHead(path, error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->layout, DictionaryLayout::Legacy);
    ASSERT_TRUE(VerifyDictionary(path, error)) << error;
    DictionaryHead head = info->head;
    head.SetFormatLevel(72);
    ASSERT_TRUE(WriteDictionaryHead(path, head, true, error)) << error;
    info = ReadDictionaryHead(path, error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->layout, DictionaryLayout::Slotted);
    EXPECT_EQ(info->head, head);
    auto whole = ReadDictionaryFile(path, error);
    ASSERT_TRUE(whole) << error;
    EXPECT_EQ(whole->Entries(), Sample(4).Entries());

    head.SetProperty("remarks_w", Bytes(std::string(3 * kDefaultSlotSize, 'x')));
    ASSERT_TRUE(WriteDictionaryHead(path, head, false, error)) << error;
    info = ReadDictionaryHead(path, error);
    ASSERT_TRUE(info) << error;
    EXPECT_GT(info->slotSize, kDefaultSlotSize);
    EXPECT_EQ(info->head, head);
    ASSERT_TRUE(VerifyDictionary(path, error)) << error;

    std::string damaged = SerializeLegacyDictionary(Sample(4));
    damaged[damaged.size() - 10] ^= 0x01;
    Store(path, damaged);
    EXPECT_FALSE(WriteDictionaryHead(path, head, false, error));
    EXPECT_EQ(Load(path), damaged);
}

// The streaming writer makes the same dictionary as the one written from memory.
TEST(DictionaryFile, TheStreamingWriterMakesTheSameDictionary) {
    quillon::test::TempDir dir;
    std::string error;
    DictionaryFile big = Sample(5);
    for (int i = 0; i < 50000; ++i)
        big.Entries().push_back({"word" + std::to_string(i), {"слово " + std::to_string(i), "второе"}});
    DictionaryWriter writer;
    ASSERT_TRUE(writer.Open(dir / "streamed.er", error)) << error;
    for (const auto& entry : big.Entries())
        ASSERT_TRUE(writer.Add(entry, error)) << error;
    ASSERT_TRUE(writer.Finish(big, error)) << error;
    EXPECT_EQ(Load(dir / "streamed.er"), SerializeDictionary(big));
    {
        DictionaryWriter abandoned;
        ASSERT_TRUE(abandoned.Open(dir / "abandoned.er", error));
        ASSERT_TRUE(abandoned.Add(big.Entries()[0], error));
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "abandoned.er"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// A process killed while it changes heads leaves a file that reads, with one of the heads it
// wrote.
// Runs dict-head-writer on `path` with its `tear`th write into `folder` torn by a kill.
struct TornRun {
    bool killed = false;   // by the kill halfway through the write
    int exitCode = -1;
    int done = 0;          // changes it reported finished
};

TornRun RunTorn(const std::string& path, const std::string& folder, int tear, int changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        if (!entry.starts_with("LD_PRELOAD=") && !entry.starts_with("QUILLON_WRITE_FAULT=") &&
            !entry.starts_with("ASAN_OPTIONS="))
            env.emplace_back(entry);
    }
    const char* asan = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("ASAN_OPTIONS=verify_asan_link_order=0") + (asan ? std::string(":") + asan : ""));
    env.push_back("LD_PRELOAD=" QUILLON_WRITE_FAULT_SHIM);
    env.push_back("QUILLON_WRITE_FAULT=KILL " + std::to_string(tear) + " tear " + folder);
    std::vector<char*> envp;
    for (auto& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = DICT_HEAD_WRITER, file = path, count = std::to_string(changes);
    char* argv[] = {program.data(), file.data(), count.data(), nullptr};
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::execve(argv[0], argv, envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) != 0;)
        if (n > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR)
            break;
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    TornRun run;
    run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.done = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    return run;
}

// A kill halfway through any write of a head change (in place; in the rewrite that grows the head
// slot; in the one that converts a legacy file) leaves the head of the change before in force, and
// the body whole. Each write is torn in turn until the writer has fewer writes than that to make.
TEST(DictionaryFile, AHeadWriteTornByAKillLeavesThePreviousHeadInForce) {
    quillon::test::TempDir dir;
    const std::string path = dir / "a.er";
    DictionaryFile big = Sample(4);   // a body of several copy chunks, so the copy can be torn
    for (int i = 0; i < 3000; ++i)
        big.Entries().push_back({"word" + std::to_string(i), {std::string(1000, 'x')}});
    const struct {
        bool legacy;
        std::string bytes;
    } files[] = {{false, SerializeDictionary(Sample(4))}, {true, SerializeLegacyDictionary(big)}};
    constexpr int kChanges = 5;
    for (const auto& file : files) {
        SCOPED_TRACE(file.legacy ? "legacy" : "slotted");
        int tears = 0, tornRewrites = 0, finished = 0;
        for (int tear = 1; tear <= 100 && finished == 0; ++tear) {
            std::string error;
            ASSERT_TRUE(WriteFileAtomically(path, file.bytes, error)) << error;
            const TornRun run = RunTorn(path, dir.Path(), tear, kChanges);
            if (!run.killed) {   // it made fewer writes than `tear`, all of them whole
                ASSERT_EQ(run.exitCode, 0);
                ASSERT_EQ(run.done, kChanges);
                finished = tear;
                break;
            }
            ++tears;
            auto info = ReadDictionaryHead(path, error);
            ASSERT_TRUE(info) << "write " << tear << ": " << error;
            EXPECT_EQ(info->head.LinkNumber(), -123456 + run.done) << "write " << tear;
            EXPECT_TRUE(VerifyDictionary(path, error)) << "write " << tear << ": " << error;
            // The changes that rewrite the file: a legacy file's first; the third, outgrowing its slot.
            if (run.done == (file.legacy ? 0 : 2))
                ++tornRewrites;
        }
        EXPECT_GT(finished, kChanges);     // at least one write per change was torn
        EXPECT_EQ(tears, finished - 1);    // and every run before the last was killed mid-write
        EXPECT_GE(tornRewrites, 3);        // a rewrite's body, prefix and slot each torn
    }
}

} // namespace
} // namespace kaldo
