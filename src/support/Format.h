#pragma once
// printf-style formatting of the string table's templates ("%s", "%d", "%lX", ...), safe against
// templates whose specifiers do not match the arguments (a translated catalogue may differ):
// a missing argument formats as nothing, a specifier never reads memory it was not given.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace quillon {

using FormatArg = std::variant<std::int64_t, std::string>;

// Supported: %s %d %i %u %x %X %c %% with an optional 'l'/'ll'/'h' length, a '0' flag and a width.
std::string FormatText(std::string_view pattern, std::initializer_list<FormatArg> args);

} // namespace quillon
