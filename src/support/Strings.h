#pragma once
// The string table: texts by numeric id. The built-in table holds the system's own Russian texts
// (src/resources/strings.tsv); a StringTable port installed in front of it may translate them.
#include "platform/StringTable.h"

#include <string>

namespace quillon {

// The built-in table; parsed once from the resource text.
class BuiltinStrings : public StringTable {
public:
    std::optional<std::string> Find(int id) const override;
    static const BuiltinStrings& Instance();
};

// The text of string `id`: the installed table first, then the built-in one; empty when neither
// has it.
std::string LoadString(int id);

// A dialog text by its id ("ProgressPage.ctl1010.text") from the installed table; `builtIn`
// when it has none.
std::string LoadText(std::string_view id, std::string builtIn);

} // namespace quillon
