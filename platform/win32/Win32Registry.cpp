// The registry through the W functions. String values cross as UTF-8 bytes, with the sizes
// the A functions give under a UTF-8 code page (see Backend.h); other types pass unchanged.
#include "platform/win32/Backend.h"
#include "platform/win32/Convert.h"

#include "platform/win32/WindowsApi.h"

#include <cstring>

namespace platform::win32 {

namespace {

// The predefined roots are 32-bit values sign-extended into a handle on 64-bit Windows.
HKEY toKey(Handle h) {
    if (h >= reg::ClassesRoot && h <= 0x800000FFull)
        return reinterpret_cast<HKEY>(
            static_cast<ULONG_PTR>(static_cast<LONG>(static_cast<std::uint32_t>(h))));
    return fromHandle<HKEY>(h);
}

bool isText(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// UTF-16 value bytes as UTF-8 bytes; an odd last byte (a value written raw) is dropped.
std::vector<std::uint8_t> textToUtf8(const std::vector<BYTE>& raw) {
    std::wstring text(raw.size() / 2, L'\0');
    std::memcpy(text.data(), raw.data(), text.size() * sizeof(wchar_t));
    const std::string utf8 = narrow(text);
    return std::vector<std::uint8_t>(utf8.begin(), utf8.end());
}

std::vector<BYTE> utf8ToText(const std::vector<std::uint8_t>& data) {
    const std::wstring text = wide(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    std::vector<BYTE> raw(text.size() * sizeof(wchar_t));
    std::memcpy(raw.data(), text.data(), raw.size());
    return raw;
}

class Win32Registry : public Registry {
  public:
    Result<Handle> RegConnectRegistry(const std::string& machine, Handle root) override {
        std::wstring name = wide(machine);
        if (!name.empty() && name.rfind(L"\\\\", 0) != 0) name = L"\\\\" + name;
        HKEY out = nullptr;
        const LONG e = RegConnectRegistryW(name.empty() ? nullptr : name.c_str(), toKey(root), &out);
        if (e != ERROR_SUCCESS) return {0, static_cast<std::uint32_t>(e)};
        return {toHandle(out), err::Success};
    }

    Result<Handle> RegOpenKeyEx(Handle key, const std::string& subKey, std::uint32_t options,
                                std::uint32_t access) override {
        HKEY out = nullptr;
        const LONG e = RegOpenKeyExW(toKey(key), wide(subKey).c_str(), options, access, &out);
        if (e != ERROR_SUCCESS) return {0, static_cast<std::uint32_t>(e)};
        return {toHandle(out), err::Success};
    }

    Result<Handle> RegOpenKey(Handle key, const std::string& subKey) override {
        // RegOpenKey's own access, but always a handle of its own: RegOpenKeyW hands back the
        // caller's handle for an empty name, which would then be closed twice.
        HKEY out = nullptr;
        const LONG e = RegOpenKeyExW(toKey(key), wide(subKey).c_str(), 0, MAXIMUM_ALLOWED, &out);
        if (e != ERROR_SUCCESS) return {0, static_cast<std::uint32_t>(e)};
        return {toHandle(out), err::Success};
    }

    RegValueRead RegQueryValueEx(Handle key, const std::string& valueName,
                                 std::uint32_t bufferBytes) override {
        RegValueRead out;
        // A C string would end at the NUL and read a different value.
        if (valueName.find('\0') != std::string::npos) {
            out.error = err::InvalidParameter;
            return out;
        }
        const std::wstring name = wide(valueName);
        std::vector<BYTE> raw(256);
        LONG e = ERROR_MORE_DATA;
        DWORD type = REG_NONE;
        // The value may grow between the calls; read until one call returns all of it.
        for (int round = 0; round < 8 && e == ERROR_MORE_DATA; ++round) {
            DWORD size = static_cast<DWORD>(raw.size());
            e = RegQueryValueExW(toKey(key), name.c_str(), nullptr, &type, raw.data(), &size);
            if (e == ERROR_MORE_DATA)
                raw.resize(size > raw.size() ? size : raw.size() * 2);
            else if (e == ERROR_SUCCESS)
                raw.resize(size);
        }
        if (e != ERROR_SUCCESS) {
            out.error = static_cast<std::uint32_t>(e);
            return out;
        }
        out.type = type;
        std::vector<std::uint8_t> data =
            isText(type) ? textToUtf8(raw) : std::vector<std::uint8_t>(raw.begin(), raw.end());
        out.size = static_cast<std::uint32_t>(data.size());
        if (data.size() > bufferBytes)
            out.error = err::MoreData;
        else
            out.data = std::move(data);
        return out;
    }

    std::uint32_t RegSetValueEx(Handle key, const std::string& valueName, std::uint32_t type,
                                const std::vector<std::uint8_t>& data) override {
        if (valueName.find('\0') != std::string::npos) return err::InvalidParameter;
        const std::vector<BYTE> raw =
            isText(type) ? utf8ToText(data) : std::vector<BYTE>(data.begin(), data.end());
        return static_cast<std::uint32_t>(RegSetValueExW(toKey(key), wide(valueName).c_str(), 0, type,
                                                         raw.data(), static_cast<DWORD>(raw.size())));
    }

    RegSubkeyName RegEnumKeyEx(Handle key, std::uint32_t index, std::uint32_t nameBufferChars) override {
        RegSubkeyName out;
        wchar_t name[256]; // key names are at most 255 characters
        DWORD length = 256;
        const LONG e = RegEnumKeyExW(toKey(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (e != ERROR_SUCCESS) {
            out.error = static_cast<std::uint32_t>(e);
            return out;
        }
        std::string utf8 = narrow(std::wstring_view(name, length));
        if (utf8.size() + 1 > nameBufferChars)
            out.error = err::MoreData;
        else
            out.name = std::move(utf8);
        return out;
    }

    std::uint32_t RegDeleteKey(Handle key, const std::string& subKey) override {
        return static_cast<std::uint32_t>(RegDeleteKeyW(toKey(key), wide(subKey).c_str()));
    }

    std::uint32_t RegCloseKey(Handle key) override {
        return static_cast<std::uint32_t>(::RegCloseKey(toKey(key)));
    }
};

} // namespace

Registry& win32Registry() {
    static Win32Registry instance;
    return instance;
}

} // namespace platform::win32
