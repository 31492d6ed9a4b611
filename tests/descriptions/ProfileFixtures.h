#pragma once
// Builders of profile files for the tests: record streams item by item (also malformed ones),
// whole file images, and a comparison of two stores by every query.
#include "descriptions/ProfileRecords.h"
#include "descriptions/XCryptedProfile2.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::test {

using Bytes = std::vector<std::uint8_t>;

class StreamBuilder {
public:
    StreamBuilder& Text(std::string_view utf8);
    StreamBuilder& Int(std::int32_t v);
    StreamBuilder& Flag(std::uint32_t v); // any value, 0/1 or not
    StreamBuilder& Block(const Bytes& bytes);
    StreamBuilder& Raw(const Bytes& bytes); // bytes as they stand (tags, lengths of bad items)
    StreamBuilder& U32(std::uint32_t v);

    // Section header and typed entries, for well-formed streams.
    StreamBuilder& Section(std::string_view name, std::int32_t entries) {
        return Text(name).Int(entries);
    }
    StreamBuilder& S(std::string_view name, std::string_view value) {
        return Text(name).Int('S').Text(value);
    }
    StreamBuilder& I(std::string_view name, std::int32_t value) {
        return Text(name).Int('I').Int(value);
    }
    StreamBuilder& B(std::string_view name, bool value) {
        return Text(name).Int('B').Flag(value ? 1 : 0);
    }
    StreamBuilder& H(std::string_view name, const Bytes& value) {
        return Text(name).Int('H').Block(value);
    }

    const Bytes& Stream() const { return bytes_; }
    Bytes Image() const; // wrapped in the container

private:
    Bytes bytes_;
};

// Loads an image; the store answers LastError on failure.
bool LoadImage(CXCryptedProfile2& store, const Bytes& image);

// Every query of `a` answers as the same query of `b` (counts, names and types by index, values
// by name, in both orders). Reports the first difference as a gtest failure.
void ExpectSameAnswers(const CXCryptedProfile2& a, const CXCryptedProfile2& b);

// Names by index, for readable expectations.
std::vector<std::string> SectionNames(const CXCryptedProfile2& store);
std::vector<std::string> EntryNames(const CXCryptedProfile2& store, std::string_view section);

} // namespace quillon::test
