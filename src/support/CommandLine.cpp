#include "support/CommandLine.h"

#include <algorithm>

namespace quillon {
namespace {

const OptionSpec* FindLong(const std::vector<OptionSpec>& specs, std::string_view name) {
    for (const auto& s : specs)
        if (s.name == name)
            return &s;
    return nullptr;
}

const OptionSpec* FindShort(const std::vector<OptionSpec>& specs, char name) {
    for (const auto& s : specs)
        if (s.shortName == name)
            return &s;
    return nullptr;
}

} // namespace

CommandLine::CommandLine(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs) {
    for (std::size_t i = 0; i < args.size() && error_.empty(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            operands_.insert(operands_.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (arg.starts_with("--")) {
            const auto equals = arg.find('=');
            const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const OptionSpec* spec = FindLong(specs, name);
            if (!spec) {
                error_ = "unknown option '--" + name + "'";
            } else if (!spec->takesValue && equals != std::string::npos) {
                error_ = "option '--" + name + "' takes no value";
            } else if (!spec->takesValue) {
                given_.emplace_back(name, std::string());
            } else if (equals != std::string::npos) {
                given_.emplace_back(name, arg.substr(equals + 1));
            } else if (i + 1 < args.size()) {
                given_.emplace_back(name, args[++i]);
            } else {
                error_ = "option '--" + name + "' needs a value";
            }
            continue;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            operands_.push_back(arg);
            continue;
        }
        // One or more short options; the first that takes a value takes the rest of the word
        // or, when nothing is left of it, the next one.
        for (std::size_t k = 1; k < arg.size(); ++k) {
            const OptionSpec* spec = FindShort(specs, arg[k]);
            if (!spec) {
                error_ = "unknown option '-" + std::string(1, arg[k]) + "'";
                break;
            }
            if (!spec->takesValue) {
                given_.emplace_back(spec->name, std::string());
                continue;
            }
            if (k + 1 < arg.size())
                given_.emplace_back(spec->name, arg.substr(k + 1));
            else if (i + 1 < args.size())
                given_.emplace_back(spec->name, args[++i]);
            else
                error_ = "option '-" + std::string(1, arg[k]) + "' needs a value";
            break;
        }
    }
}

bool CommandLine::Has(std::string_view name) const {
    return Count(name) > 0;
}

int CommandLine::Count(std::string_view name) const {
    return static_cast<int>(std::count_if(given_.begin(), given_.end(), [&](const auto& g) { return g.first == name; }));
}

std::string CommandLine::Value(std::string_view name) const {
    for (auto it = given_.rbegin(); it != given_.rend(); ++it)
        if (it->first == name)
            return it->second;
    return {};
}

std::vector<std::string> CommandLine::Values(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [n, v] : given_)
        if (n == name)
            values.push_back(v);
    return values;
}

} // namespace quillon
