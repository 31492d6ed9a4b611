#pragma once
// The product's journal: every call a service receives, one JSON object per line in
// "<root>/journal.jsonl" (format in docs/refproduct-journal.md). A line is appended with one
// write on a file opened for appending, so lines of concurrent processes never interleave.
#include <cstdint>
#include <string>
#include <string_view>

namespace kaldo {

std::string JsonQuote(std::string_view text);

class JournalRecord {
public:
    explicit JournalRecord(std::string operation);
    JournalRecord& Arg(std::string_view name, std::string_view value);
    JournalRecord& Arg(std::string_view name, std::int64_t value);
    JournalRecord& Out(std::string_view name, std::string_view value);
    JournalRecord& Out(std::string_view name, std::int64_t value);
    // The finished line (without the newline).
    std::string Line(std::int32_t status) const;
    const std::string& Operation() const { return operation_; }

private:
    std::string operation_;
    std::string args_;
    std::string outs_;
};

// Appends the record to the journal of `root`; false when the journal cannot be written.
bool AppendJournal(const std::string& root, const JournalRecord& record, std::int32_t status);
std::string JournalPath(const std::string& root);

} // namespace kaldo
