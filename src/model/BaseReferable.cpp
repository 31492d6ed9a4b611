#include "model/BaseReferable.h"

namespace quillon {

void CBaseReferable::Release() noexcept {
    if (m_refCount <= 0)
        return;
    if (--m_refCount != 0)
        return;
    try {
        FinalRelease();
    } catch (...) {
    }
    delete this;
}

} // namespace quillon
