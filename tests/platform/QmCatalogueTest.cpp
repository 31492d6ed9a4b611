#include "platform/posix/QmCatalogue.h"
#include "testsupport/TempDir.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace quillon {
namespace {

using Bytes = std::vector<unsigned char>;

// Where each block of a catalogue ends, and where its messages block (tag 0x69) begins.
std::vector<std::size_t> BlockEnds(const Bytes& qm, std::size_t& messages) {
    std::vector<std::size_t> ends;
    for (std::size_t at = 16; at + 5 <= qm.size();) {
        if (qm[at] == 0x69)
            messages = at;
        at += 5 + (std::size_t(qm[at + 1]) << 24 | std::size_t(qm[at + 2]) << 16 | std::size_t(qm[at + 3]) << 8 | qm[at + 4]);
        ends.push_back(at);
    }
    return ends;
}

Bytes ReadFile(const std::string& path) {
    const std::string text = test::ReadFile(path);
    return Bytes(text.begin(), text.end());
}

// The English catalogue lrelease compiled from its source answers every message of the source,
// and string 500's one-letter rule holds.
TEST(QmCatalogue, ReadsEveryMessageLreleaseWrote) {
    const Bytes qm = ReadFile(QUILLON_ENU_CATALOGUE);
    ASSERT_GT(qm.size(), 1000u);
    QmCatalogue catalogue;
    ASSERT_TRUE(catalogue.Parse(qm.data(), qm.size()));
    EXPECT_EQ(catalogue.Find(1035), "No KALDO translation system was found on this computer.");
    EXPECT_EQ(catalogue.FindText("s1035"), catalogue.Find(1035));
    EXPECT_FALSE(catalogue.FindText("no such id"));

    std::ifstream ts(std::string(QUILLON_SOURCE_DIR_PATH) + "/src/resources/translations/quillonResENU.ts");
    const std::string source{std::istreambuf_iterator<char>(ts), {}};
    const std::string open = "<message id=\"";
    std::size_t ids = 0;
    for (std::size_t at = source.find(open); at != std::string::npos; at = source.find(open, at)) {
        at += open.size();
        const std::string id = source.substr(at, source.find('"', at) - at);
        ++ids;
        EXPECT_TRUE(catalogue.FindText(id)) << id;
    }
    EXPECT_GT(ids, 100u);
}

// Damaged or cut catalogues are refused whole, and nothing is read past the data: a cut is a
// catalogue only where a block ends after the messages block.
TEST(QmCatalogue, RefusesWhatIsNoCatalogue) {
    const Bytes qm = ReadFile(QUILLON_ENU_CATALOGUE);
    ASSERT_GT(qm.size(), 100u);
    std::size_t at = 0;
    const std::vector<std::size_t> ends = BlockEnds(qm, at);
    ASSERT_EQ(ends.back(), qm.size());
    ASSERT_GT(at, 0u);
    QmCatalogue catalogue;
    std::size_t read = 0;
    for (std::size_t n = 0; n < qm.size(); ++n) {
        const Bytes cut(qm.begin(), qm.begin() + static_cast<std::ptrdiff_t>(n));
        const bool whole = n > at && std::find(ends.begin(), ends.end(), n) != ends.end();
        EXPECT_EQ(catalogue.Parse(cut.data(), cut.size()), whole) << n << " of " << qm.size() << " bytes";
        read += whole;
    }
    // Every block end from the messages block's on, but the whole file's.
    EXPECT_EQ(read, std::size_t(std::count_if(ends.begin(), ends.end(), [&](std::size_t e) { return e > at; })) - 1);
    EXPECT_FALSE(catalogue.Parse(qm.data(), 3));
    EXPECT_FALSE(catalogue.Loaded());
    EXPECT_FALSE(catalogue.Find(1035));

    Bytes bad = qm;
    bad[0] ^= 1; // the opening bytes
    EXPECT_FALSE(catalogue.Parse(bad.data(), bad.size()));

    // The first translation's length made odd, then made to run past the block.
    ASSERT_EQ(qm[at + 5], 3) << "a message opens with its translation";
    bad = qm;
    bad[at + 9] |= 1;
    EXPECT_FALSE(catalogue.Parse(bad.data(), bad.size()));
    bad = qm;
    bad[at + 6] = 0x7F;
    EXPECT_FALSE(catalogue.Parse(bad.data(), bad.size()));

    // A good one after them is read.
    EXPECT_TRUE(catalogue.Parse(qm.data(), qm.size()));
    EXPECT_TRUE(catalogue.Find(1035));
}

} // namespace
} // namespace quillon
