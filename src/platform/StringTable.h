#pragma once
// Port: the string table. The built-in table (BuiltinStrings) holds the system's own Russian
// texts; an interface-language catalogue may stand in front of it.
#include <optional>
#include <string>

namespace quillon {

class StringTable {
public:
    virtual ~StringTable() = default;
    virtual std::optional<std::string> Find(int id) const = 0;
};

} // namespace quillon
