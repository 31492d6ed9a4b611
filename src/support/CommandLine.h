#pragma once
// A command line read the GNU way, shared by quillon-cli, quillon-dist and quillon-launcher:
// long options as --name, --name=VALUE or --name VALUE; short ones (-y) alone or bundled (-yq),
// a short option's value joined (-cID) or next; options anywhere among the operands; "--" ends
// the options, everything after it is an operand ("-" alone is an operand too). An unknown
// option, a missing value or a value given to an option that takes none is an error that names
// the option, as the user wrote it.
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct OptionSpec {
    std::string name;       // the long name, without "--"
    char shortName = 0;     // 0: none
    bool takesValue = false;
};

class CommandLine {
public:
    CommandLine(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

    bool Ok() const { return error_.empty(); }
    // "unknown option '--colection'", "option '--collection' needs a value", …
    const std::string& Error() const { return error_; }

    // Whether the option (by its long name) was given, and how many times.
    bool Has(std::string_view name) const;
    int Count(std::string_view name) const;
    // The last value given to the option; empty when none was.
    std::string Value(std::string_view name) const;
    // Every value given to the option, in order.
    std::vector<std::string> Values(std::string_view name) const;
    const std::vector<std::string>& Operands() const { return operands_; }
    // Every option given, by its long name, with its value, in order.
    const std::vector<std::pair<std::string, std::string>>& Given() const { return given_; }

private:
    std::vector<std::pair<std::string, std::string>> given_;   // long name, value
    std::vector<std::string> operands_;
    std::string error_;
};

} // namespace quillon
