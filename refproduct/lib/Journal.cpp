#include "Journal.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace kaldo {

std::string JsonQuote(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out.push_back(ch);
            }
        }
    }
    out += '"';
    return out;
}

JournalRecord::JournalRecord(std::string operation) : operation_(std::move(operation)) {}

namespace {
void Add(std::string& list, std::string_view name, const std::string& json) {
    if (!list.empty())
        list += ',';
    list += JsonQuote(name) + ':' + json;
}
} // namespace

JournalRecord& JournalRecord::Arg(std::string_view name, std::string_view value) {
    Add(args_, name, JsonQuote(value));
    return *this;
}
JournalRecord& JournalRecord::Arg(std::string_view name, std::int64_t value) {
    Add(args_, name, std::to_string(value));
    return *this;
}
JournalRecord& JournalRecord::Out(std::string_view name, std::string_view value) {
    Add(outs_, name, JsonQuote(value));
    return *this;
}
JournalRecord& JournalRecord::Out(std::string_view name, std::int64_t value) {
    Add(outs_, name, std::to_string(value));
    return *this;
}

std::string JournalRecord::Line(std::int32_t status) const {
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm {};
    ::gmtime_r(&secs, &tm);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    char hr[16];
    std::snprintf(hr, sizeof hr, "0x%08X", static_cast<unsigned>(status));
    return std::string("{\"time\":") + JsonQuote(stamp) + ",\"pid\":" + std::to_string(::getpid()) +
           ",\"operation\":" + JsonQuote(operation_) + ",\"arguments\":{" + args_ + "},\"status\":" +
           JsonQuote(hr) + ",\"out\":{" + outs_ + "}}";
}

std::string JournalPath(const std::string& root) { return root + "/journal.jsonl"; }

bool AppendJournal(const std::string& root, const JournalRecord& record, std::int32_t status) {
    const std::string line = record.Line(status) + "\n";
    const int fd = ::open(JournalPath(root).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ssize_t n;
    do {
        n = ::write(fd, line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    return n == static_cast<ssize_t>(line.size());
}

} // namespace kaldo
