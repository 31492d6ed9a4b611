#pragma once
// Port: the string table. The built-in table (BuiltinStrings) holds the system's own Russian
// texts; an interface-language catalogue (platform/posix/QmCatalogue) may stand in front of it.
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

class StringTable {
public:
    virtual ~StringTable() = default;
    virtual std::optional<std::string> Find(int id) const = 0;
    // A text by its textual id: a dialog's text ("CWelcomeDlg.ctl1.text"); none by default.
    virtual std::optional<std::string> FindText(std::string_view) const { return std::nullopt; }
};

} // namespace quillon
