#pragma once
// The version of Quillon's programs: the project's version, printed by their --version.

namespace quillon {

const char* QuillonVersion();

} // namespace quillon
