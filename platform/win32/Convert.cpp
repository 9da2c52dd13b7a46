#include "platform/win32/Convert.h"

#include "platform/ErrorText.h"

#include "platform/win32/WindowsApi.h"

namespace platform::win32 {

std::wstring wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

// wchar_t is UTF-16 on Windows: the two string types hold the same units.
std::wstring wide(std::u16string_view utf16) {
    return std::wstring(utf16.begin(), utf16.end());
}

std::u16string utf16(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

namespace {
std::wstring formatted(std::uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n ? std::wstring(buffer, n) : std::wstring();
    if (buffer) LocalFree(buffer);
    return text;
}
} // namespace

std::string systemMessage(std::uint32_t code) {
    std::wstring text = formatted(code);
    // An HRESULT that wraps a Win32 error has that error's text.
    if (text.empty() && (code & 0xFFFF0000u) == 0x80070000u) text = formatted(code & 0xFFFFu);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (text.empty()) {
        wchar_t fallback[32];
        swprintf(fallback, 32, L"Error 0x%08lX", static_cast<unsigned long>(code));
        text = fallback;
    }
    return narrow(text);
}

} // namespace platform::win32

namespace platform {

std::string errorDescription(std::uint32_t code) {
    std::wstring text = win32::formatted(code);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return win32::narrow(text);
}

} // namespace platform
