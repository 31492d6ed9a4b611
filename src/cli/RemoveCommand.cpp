// quillon-cli remove: installed collections, through the removal page's logic.
#include "cli/Commands.h"

namespace quillon::cli {

int Remove(const std::vector<std::string>& args) {
    (void)args;
    return Usage();
}

} // namespace quillon::cli
