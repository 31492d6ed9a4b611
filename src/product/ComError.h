#pragma once
// ComError: a failure raised by a product service (or by object creation), carrying the failed
// HRESULT and the service's description of it.
#include "product/HResult.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace quillon {

class ComError : public std::runtime_error {
public:
    explicit ComError(HRESULT hr, std::string description = {});
    HRESULT Error() const noexcept { return hr_; }
    // The service's text, or a generic one naming the code when the service gave none.
    const std::string& Description() const noexcept { return description_; }

private:
    HRESULT hr_;
    std::string description_;
};

// Raises a ComError for a failed status, as a COM smart-pointer call would.
inline void ThrowIfFailed(HRESULT hr, std::string_view what = {}) {
    if (Failed(hr))
        throw ComError(hr, std::string(what));
}

// "0x800F000A"
std::string HResultText(HRESULT hr);

// The text of message 57355 naming the failed code: its "." replaced by ": %X"
// ("Ошибка при обращении к сервису установки: 800F000A").
std::string ServiceErrorText(HRESULT hr);

} // namespace quillon
