#include "install/Packer.h"
#include "install/UnpackFile.h"
#include "install/PackedBodyDecoder.h"
#include "install/ReferenceUnpacker.h"
#include "install/PackedFixtures.h"
#include "support/Crc32.h"
#include "testsupport/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::test {
namespace {

void WriteBytes(const std::string& path, const Bytes& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Records every report; answers zero from the first report that `cancelAt` accepts.
struct Recorder {
    std::vector<std::uint16_t> reports;
    std::function<bool(std::uint16_t)> cancelAt = [](std::uint16_t) { return false; };

    static int Callback(std::uint16_t percent, void* context) {
        auto* self = static_cast<Recorder*>(context);
        self->reports.push_back(percent);
        return self->cancelAt(percent) ? 0 : 1;
    }
};

// A body of literal groups only: every ninth byte a flag 0xFF.
Bytes LiteralBody(std::size_t bodySize, std::uint32_t seed, Bytes& output) {
    Bytes body(bodySize);
    const Bytes random = RandomBytes(bodySize, seed);
    output.clear();
    for (std::size_t i = 0; i < bodySize; ++i) {
        if (i % 9 == 0) {
            body[i] = 0xFF ^ 0xA7;
        } else {
            body[i] = random[i];
            output.push_back(random[i] ^ 0xA7);
        }
    }
    return body;
}

Bytes PackedOfSize(std::size_t total, std::uint32_t seed, Bytes& output) {
    Bytes body = LiteralBody(total - 16, seed, output);
    return Concat(Header(Crc32::Of(output.data(), output.size())), body);
}

class UnpackFileTest : public ::testing::Test {
protected:
    int Unpack(const Bytes& packed, Recorder* recorder = nullptr) {
        WriteBytes(src, packed);
        return UnpackFile(src, dst, recorder ? &Recorder::Callback : nullptr, recorder);
    }
    TempDir dir;
    std::string src = dir / "in.pk";
    std::string dst = dir / "out.dat";
};

TEST_F(UnpackFileTest, EmptyBodyIsAnEmptyFileWhenTheStoredCrcIsZero) {
    EXPECT_EQ(Unpack(Header(0)), kUnpackOk);
    ASSERT_TRUE(Exists(dst));
    EXPECT_TRUE(ReadBytes(dst).empty());

    EXPECT_EQ(Unpack(Header(1)), kUnpackChecksumError);
    EXPECT_FALSE(Exists(dst));
}

TEST_F(UnpackFileTest, ShortOutputAndOverlappingMatch) {
    // Five literals only: fewer than the 18 bytes of the first ring write.
    const Bytes text{'h', 'e', 'l', 'l', 'o'};
    BodyBuilder five;
    for (unsigned char c : text)
        five.Literal(c);
    EXPECT_EQ(Unpack(Concat(Header(Crc32::Of(text.data(), 5)), five.Scrambled())), kUnpackOk);
    EXPECT_EQ(ReadBytes(dst), text);

    // 'x' goes to ring position 4078; a match at 4078 (write position - 1) of length 10 repeats it.
    const Bytes xs(11, 'x');
    const Bytes body = BodyBuilder().Literal('x').Match(4078, 10).Scrambled();
    EXPECT_EQ(Unpack(Concat(Header(Crc32::Of(xs.data(), xs.size())), body)), kUnpackOk);
    EXPECT_EQ(ReadBytes(dst), xs);

    // Matches into the ring's initial zeros give zeros.
    const Bytes zeros(18 + 3, 0);
    const Bytes zbody = BodyBuilder().Match(0, 18).Match(100, 3).Scrambled();
    EXPECT_EQ(Unpack(Concat(Header(Crc32::Of(zeros.data(), zeros.size())), zbody)), kUnpackOk);
    EXPECT_EQ(ReadBytes(dst), zeros);
}

long g_writtenTotal = 0;
std::vector<std::pair<long, long>> g_writes;  // (offset, size) of every write
long RecordingWrite(int fd, const void* data, std::size_t size) {
    const long n = ::write(fd, data, size);
    if (n > 0) {
        g_writes.emplace_back(g_writtenTotal, n);
        g_writtenTotal += n;
    }
    return n;
}

TEST_F(UnpackFileTest, MultiplesOfTheRingAreWrittenOnceInOrder) {
    for (std::size_t blocks : {1u, 3u, 300u}) {
        const Bytes data = RandomBytes(4096 * blocks, static_cast<std::uint32_t>(blocks));
        g_writes.clear();
        g_writtenTotal = 0;
        const auto previous = SetUnpackWriteFunction(&RecordingWrite);
        const int rc = Unpack(PackData(data.data(), data.size()));
        SetUnpackWriteFunction(previous);
        ASSERT_EQ(rc, kUnpackOk);
        EXPECT_EQ(ReadBytes(dst), data);
        EXPECT_EQ(g_writtenTotal, long(data.size()));
        long next = 0;
        for (auto [offset, size] : g_writes) {
            EXPECT_EQ(offset, next);
            next += size;
        }
    }
}

TEST_F(UnpackFileTest, BadHeadersLeaveTheDestinationUntouched) {
    const Bytes body = BodyBuilder().Literal('a').Scrambled();
    const std::uint32_t crc = Crc32::Of("a", 1);
    const Bytes header = Header(crc);
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"version 2", Concat(Header(crc, 2), body)},
        {"version 0x0101", Concat(Header(crc, 0x0101), body)},
        {"wrong magic", Concat(Header(crc, 1, 0x071A5045), body)},
        {"header of 15 bytes", Bytes(header.begin(), header.begin() + 15)},
        {"empty file", Bytes{}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::unlink(dst.c_str());
        EXPECT_EQ(Unpack(c.file), kUnpackBadHeader);
        EXPECT_FALSE(Exists(dst));
        // An existing destination keeps its content.
        WriteBytes(dst, {'o', 'l', 'd'});
        EXPECT_EQ(Unpack(c.file), kUnpackBadHeader);
        EXPECT_EQ(ReadBytes(dst), (Bytes{'o', 'l', 'd'}));
    }
    WriteBytes(dst, {'o', 'l', 'd'});
    Recorder r;
    EXPECT_EQ(UnpackFile(dir / "missing.pk", dst, &Recorder::Callback, &r), kUnpackSourceError);
    EXPECT_EQ(ReadBytes(dst), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(r.reports, (std::vector<std::uint16_t>{65535}));
}

TEST_F(UnpackFileTest, ChecksumMismatchLeavesNoDestination) {
    Bytes output;
    Bytes file = PackedOfSize(5000, 7, output);
    file[12] ^= 1;
    Recorder r;
    EXPECT_EQ(Unpack(file, &r), kUnpackChecksumError);
    EXPECT_FALSE(Exists(dst));
    EXPECT_EQ(r.reports.back(), 100);
}

std::vector<std::uint16_t> ExpectedReports(std::uint64_t size) {
    std::vector<std::uint16_t> expected{65535, 0};
    const std::uint64_t step = std::max<std::uint64_t>(size / 100, 1024);
    for (std::uint64_t t = step; t <= size - 16; t += step)
        expected.push_back(static_cast<std::uint16_t>(t * 100 / size));
    expected.push_back(100);
    return expected;
}

TEST_F(UnpackFileTest, ProgressThresholds) {
    for (std::size_t size : {300000u, 50000u, 102400u, 123457u}) {
        SCOPED_TRACE(size);
        Bytes output;
        Recorder r;
        ASSERT_EQ(Unpack(PackedOfSize(size, 3, output), &r), kUnpackOk);
        EXPECT_EQ(ReadBytes(dst), output);
        EXPECT_EQ(r.reports, ExpectedReports(size));
    }
    // 300 000 bytes: every 3000 bytes read, percent 1, 2, ... 99; 50 000: every 1024 bytes.
    EXPECT_EQ(ExpectedReports(300000).size(), 2u + 99u + 1u);
    EXPECT_EQ(ExpectedReports(300000)[2], 1);
    EXPECT_EQ(ExpectedReports(50000).size(), 2u + 48u + 1u);
    EXPECT_EQ(ExpectedReports(50000)[2], 2);  // 1024 × 100 / 50000
}

TEST_F(UnpackFileTest, CancelAtFortyPercentLeavesThePartialDestination) {
    Bytes output;
    const Bytes file = PackedOfSize(300000, 11, output);
    Recorder r;
    r.cancelAt = [](std::uint16_t p) { return p == 40; };
    EXPECT_EQ(Unpack(file, &r), kUnpackCancelled);
    ASSERT_TRUE(Exists(dst));
    const Bytes partial = ReadBytes(dst);
    // Everything of the items read before byte 120 000 of the body, nothing after.
    const auto reference = ReferenceUnpack(file, [](std::uint16_t p) { return p != 40; });
    EXPECT_EQ(reference.result, kUnpackCancelled);
    EXPECT_EQ(partial, reference.output);
    EXPECT_EQ(partial.size(), 119999u / 9 * 8 + 119999u % 9 - 1);
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), output.begin()));
    EXPECT_EQ(r.reports, reference.reports);
    EXPECT_EQ(r.reports.back(), 100);
}

TEST_F(UnpackFileTest, ZeroAnswersToTheFirstOrTheLastReportCancel) {
    Bytes output;
    const Bytes file = PackedOfSize(20000, 5, output);
    Recorder first;
    first.cancelAt = [](std::uint16_t p) { return p == 0; };
    EXPECT_EQ(Unpack(file, &first), kUnpackCancelled);
    EXPECT_TRUE(ReadBytes(dst).empty());
    EXPECT_EQ(first.reports, (std::vector<std::uint16_t>{65535, 0, 100}));

    Recorder last;
    last.cancelAt = [](std::uint16_t p) { return p == 100; };
    EXPECT_EQ(Unpack(file, &last), kUnpackCancelled);
    EXPECT_EQ(ReadBytes(dst), output);

    Recorder start;  // the answer to 65535 is ignored
    start.cancelAt = [](std::uint16_t p) { return p == 65535; };
    EXPECT_EQ(Unpack(file, &start), kUnpackOk);
}

TEST_F(UnpackFileTest, SourcesOver43MegabytesReportEveryPercent) {
    Bytes output;
    const std::size_t size = 44'000'000;
    Recorder r;
    ASSERT_EQ(Unpack(PackedOfSize(size, 9, output), &r), kUnpackOk);
    std::vector<std::uint16_t> expected{65535};
    for (std::uint16_t p = 0; p <= 99; ++p)
        expected.push_back(p);
    expected.push_back(100);
    EXPECT_EQ(r.reports, expected);
    struct stat st {};
    ASSERT_EQ(::stat(dst.c_str(), &st), 0);
    EXPECT_EQ(std::size_t(st.st_size), output.size());
}

// Random bodies (compressed data, garbage, truncated items), cancelled at random reports: the
// result, the reports and the destination are those of the byte-at-a-time unpacker.
TEST_F(UnpackFileTest, AgreesWithTheByteAtATimeUnpacker) {
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        const Bytes rnd = RandomBytes(8, seed);
        Bytes file;
        const std::size_t size = 1000 + rnd[0] * 2000 + rnd[1] * 7;
        if (seed % 3 == 0) {
            file = Concat(Header(rnd[2]), RandomBytes(size, seed));  // garbage body
        } else {
            Bytes data = RandomBytes(size, seed);
            for (std::size_t i = 0; i < data.size(); ++i)  // partly compressible
                if ((i / 64) % 3 != 0)
                    data[i] = static_cast<unsigned char>("abcabdabe"[i % 9]);
            file = PackData(data.data(), data.size());
            // Truncated items at the end (erase never grows the vector, unlike resize).
            file.erase(file.end() - static_cast<std::ptrdiff_t>(seed % 4), file.end());
        }
        const unsigned cancelAt = seed % 2 ? 101 : rnd[3] % 100;
        Recorder r;
        r.cancelAt = [&](std::uint16_t p) { return p == cancelAt; };
        const int rc = Unpack(file, &r);
        const auto ref = ReferenceUnpack(file, [&](std::uint16_t p) { return p != cancelAt; });
        EXPECT_EQ(rc, ref.result);
        EXPECT_EQ(r.reports, ref.reports);
        if (ref.result == kUnpackChecksumError)
            EXPECT_FALSE(Exists(dst));
        else
            EXPECT_EQ(ReadBytes(dst), ref.output);
    }
}

long g_budget = 0;
long FailingWrite(int fd, const void* data, std::size_t size) {
    if (g_budget <= 0) {
        errno = ENOSPC;
        return -1;
    }
    const long n = ::write(fd, data, std::min<std::size_t>(size, std::size_t(g_budget)));
    g_budget -= n;
    return n;
}

TEST_F(UnpackFileTest, WriteFailureDeletesTheDestination) {
    Bytes output;
    const Bytes file = PackedOfSize(300000, 13, output);
    for (long budget : {0L, 17L, 100000L}) {
        SCOPED_TRACE(budget);
        g_budget = budget;
        Recorder r;
        const auto previous = SetUnpackWriteFunction(&FailingWrite);
        const int rc = Unpack(file, &r);
        SetUnpackWriteFunction(previous);
        EXPECT_EQ(rc, kUnpackWriteError);
        EXPECT_FALSE(Exists(dst));
        EXPECT_EQ(r.reports.back(), 100);
        // No progress is reported past the point where the failed write happened.
        EXPECT_LT(r.reports.size(), ExpectedReports(300000).size());
    }
}

// A real file-size limit in a child process: write() fails with EFBIG.
TEST_F(UnpackFileTest, FileSizeLimitIsTheSizeError) {
    Bytes output;
    WriteBytes(src, PackedOfSize(300000, 17, output));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {65536, 65536};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        _exit(-UnpackFile(src, dst, nullptr, nullptr));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), -kUnpackTooLarge);
    EXPECT_FALSE(Exists(dst));
}

// A packed file whose output passes the limit its caller sets (far beyond the size the
// distribution declares) stops there, and what was written goes.
TEST_F(UnpackFileTest, OutputBeyondTheLimitStopsUnpacking) {
    Bytes output;
    WriteBytes(src, PackedOfSize(3'000'000, 23, output));
    const int fd = ::open(src.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(UnpackFile(fd, dst, nullptr, nullptr, UnpackTarget::New, 1'000'000), kUnpackTooLarge);
    EXPECT_FALSE(Exists(dst));
    ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
    EXPECT_EQ(UnpackFile(fd, dst, nullptr, nullptr, UnpackTarget::New, 3'000'000), kUnpackOk);
    EXPECT_EQ(ReadBytes(dst), output);
    ::close(fd);
}

TEST_F(UnpackFileTest, PlantedSymlinkIsNotFollowed) {
    Bytes output;
    const Bytes file = PackedOfSize(5000, 19, output);
    const std::string victim = dir / "victim";
    WriteBytes(victim, {'k', 'e', 'e', 'p'});
    ASSERT_EQ(::symlink(victim.c_str(), dst.c_str()), 0);
    EXPECT_EQ(Unpack(file), kUnpackCreateError);
    EXPECT_EQ(ReadBytes(victim), (Bytes{'k', 'e', 'e', 'p'}));
    struct stat st {};
    ASSERT_EQ(::lstat(dst.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // Nor is the source truncated when it is named as the destination.
    WriteBytes(src, file);
    EXPECT_EQ(UnpackFile(src, src, nullptr, nullptr), kUnpackCreateError);
    EXPECT_EQ(ReadBytes(src), file);
    EXPECT_EQ(UnpackFile(src, dir / "no-such-dir/out", nullptr, nullptr), kUnpackCreateError);
}

// FIFOs planted as source or destination fail at once instead of blocking the open.
TEST_F(UnpackFileTest, FifosDoNotHang) {
    Bytes output;
    WriteBytes(src, PackedOfSize(5000, 29, output));
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(UnpackFile(fifo, dst, nullptr, nullptr), kUnpackSourceError);
    EXPECT_FALSE(Exists(dst));
    EXPECT_EQ(UnpackFile(src, fifo, nullptr, nullptr), kUnpackCreateError);
    EXPECT_EQ(VerifyPackedFile(dir.Path()), kUnpackSourceError);  // a folder
}

// Every kind of item the wide copies treat apart: literal runs of any length (whole literal
// groups too), matches of every length at distances 1 to 20 (overlapping their own output) and
// anywhere in the ring, including the zero-filled start, over more output than one chunk.
TEST_F(UnpackFileTest, AllItemKindsMatchTheByteAtATimeUnpacker) {
    BodyBuilder body;
    const Bytes rnd = RandomBytes(400000, 31);
    std::size_t r = 0;
    auto next = [&] { return rnd[r++ % rnd.size()]; };
    std::uint64_t produced = 0;
    while (produced < 600000) {
        const unsigned mode = next() % 4;
        const unsigned count = next() % 24 + 1;
        for (unsigned n = 0; n < count; ++n) {
            const bool literal = mode == 0 || (mode == 1 && next() % 2 == 0);
            if (literal) {
                body.Literal(next());
                ++produced;
                continue;
            }
            const unsigned length = next() % 16 + 3;
            const unsigned writePos = unsigned(4078 + produced) & 4095;
            const unsigned distance = mode == 3 ? (next() | next() << 8) % 4096 + 1 : next() % 80 + 1;
            body.Match((writePos - distance) & 4095, length);
            produced += length;
        }
    }
    Bytes file = Concat(Header(0), body.Scrambled());
    // The reference keeps its output when the last report is answered with a cancel.
    const auto reference = ReferenceUnpack(file, [](std::uint16_t p) { return p != 100; });
    ASSERT_EQ(reference.output.size(), produced);
    const std::uint32_t crc = Crc32::Of(reference.output.data(), reference.output.size());
    const Bytes header = Header(crc);
    std::copy(header.begin(), header.end(), file.begin());

    // Whole groups go through the vector decoder where the processor has one, and through the
    // portable one otherwise: both must agree with the reference.
    for (const bool simd : {true, false}) {
        SCOPED_TRACE(simd ? "vector groups" : "portable groups");
        const bool before = PackedBodyDecoder::UseSimdGroups(simd);
        ByteBuffer memory;
        EXPECT_EQ(UnpackToMemory(file.data(), file.size(), memory), kUnpackOk);
        EXPECT_TRUE(std::ranges::equal(memory, reference.output));
        EXPECT_EQ(Unpack(file), kUnpackOk);
        EXPECT_TRUE(ReadBytes(dst) == reference.output);
        EXPECT_EQ(VerifyPackedFile(src), kUnpackOk);
        PackedBodyDecoder::UseSimdGroups(before);
    }
}

TEST_F(UnpackFileTest, VerifyAndUnpackToMemory) {
    Bytes output;
    Bytes file = PackedOfSize(70000, 23, output);
    WriteBytes(src, file);
    EXPECT_EQ(VerifyPackedFile(src), kUnpackOk);
    ByteBuffer memory;
    EXPECT_EQ(UnpackToMemory(file.data(), file.size(), memory), kUnpackOk);
    EXPECT_TRUE(std::ranges::equal(memory, output));
    EXPECT_FALSE(Exists(dst));

    file[40] ^= 0x10;
    WriteBytes(src, file);
    EXPECT_EQ(VerifyPackedFile(src), kUnpackChecksumError);
    EXPECT_EQ(UnpackToMemory(file.data(), file.size(), memory), kUnpackChecksumError);
    EXPECT_EQ(UnpackToMemory(file.data(), 15, memory), kUnpackBadHeader);
    EXPECT_EQ(VerifyPackedFile(dir / "missing"), kUnpackSourceError);
}

} // namespace
} // namespace quillon::test
