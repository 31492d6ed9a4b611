#include "support/Version.h"

namespace quillon {

const char* QuillonVersion() {
    return QUILLON_VERSION; // set by the build from the project's version
}

} // namespace quillon
