#pragma once
// What every Win32 facility converts at the API boundary: text (UTF-8 ⇄ UTF-16), handles
// (pointers ⇄ the interfaces' 64-bit values) and error codes (to Windows' own texts).
#include "platform/Types.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::win32 {

// Ill-formed input becomes U+FFFD rather than failing, as the system's conversions do.
std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view utf16);
std::wstring wide(std::u16string_view utf16);
std::u16string utf16(std::wstring_view text);

template <class T> Handle toHandle(T pointer) {
    return static_cast<Handle>(reinterpret_cast<std::uintptr_t>(pointer));
}
template <class T> T fromHandle(Handle handle) {
    return reinterpret_cast<T>(static_cast<std::uintptr_t>(handle));
}

// FormatMessage's text for a Win32 error or HRESULT, without the trailing line break.
std::string systemMessage(std::uint32_t code);

} // namespace platform::win32
