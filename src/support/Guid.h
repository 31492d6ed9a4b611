#pragma once
// GUID creation: random version-4 GUIDs in registry form, upper case, 38 characters:
// "{XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX}".
#include <string>
#include <string_view>

namespace quillon {

std::string NewGuidString();
// True for a text of exactly that form (any version; hex digits of either case).
bool IsGuidString(std::string_view text);

} // namespace quillon
