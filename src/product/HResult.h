#pragma once
// HRESULT status codes of the product's services: negative = failure.
#include <cstdint>

namespace quillon {

using HRESULT = std::int32_t;

constexpr HRESULT MakeHResult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }
constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
constexpr HRESULT E_ABORT = MakeHResult(0x80004004);
constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeHResult(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = MakeHResult(0x800401F9);

// The product's own failures.
constexpr HRESULT KLDO_E_LOCKED = MakeHResult(0x800F000A);         // object locked or access refused
constexpr HRESULT KLDO_E_DICT_EXISTS = MakeHResult(0x800F000F);    // dictionary exists
constexpr HRESULT KLDO_E_CANNOT_OPEN = MakeHResult(0x800F0015);    // file cannot be opened
constexpr HRESULT KLDO_E_IN_USE = MakeHResult(0x800F001A);         // collection in use elsewhere
constexpr HRESULT KLDO_E_CONVERTER = MakeHResult(0x800F0024);      // dictionary converter failed

} // namespace quillon
