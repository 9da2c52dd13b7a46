#include "registry/RemoteRegistry.h"

#include "common/Dialogs.h"
#include "platform/Platform.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace vantrel {

namespace {

using platform::Handle;

// Closes a registry handle when the call leaves, whichever way it leaves. Closing never
// raises: a failure there must not hide the outcome the caller already has.
class KeyCloser {
  public:
    KeyCloser() = default;
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;
    ~KeyCloser() { close(); }
    void reset(Handle h) {
        close();
        handle_ = h;
    }
    void close() {
        if (handle_ == 0) return;
        Handle h = handle_;
        handle_ = 0;
        try {
            platform::registry().RegCloseKey(h);
        } catch (...) {
        }
    }

  private:
    Handle handle_ = 0;
};

enum class OpenMode { ReadWrite, Widest };

// Reaches keyPath below root on machineName: the connection (when remote) and the open key.
// Both are closed by the closers; returns the status of the step that failed, or 0.
std::uint32_t reachKey(std::uint32_t root, const std::string& keyPath, const std::string& machineName,
                       OpenMode mode, KeyCloser& connection, KeyCloser& key, Handle& opened) {
    auto& reg = platform::registry();
    Handle start = root;
    if (!machineName.empty()) {
        // A failed connection must never fall back to the local registry.
        auto c = reg.RegConnectRegistry(machineName, root);
        if (!c.ok()) return c.error;
        start = c.value;
        connection.reset(c.value);
    }
    auto k = mode == OpenMode::ReadWrite
                 ? reg.RegOpenKeyEx(start, keyPath, 0, platform::reg::KeyReadWriteLink)
                 : reg.RegOpenKey(start, keyPath);
    if (!k.ok()) return k.error;
    opened = k.value;
    key.reset(k.value);
    return 0;
}

// On a run over many machines a box that does not say which one failed tells nothing.
void showOpenFailure(const std::string& where, std::uint32_t status, const std::string& machineName) {
    std::string text = where + "::" + std::to_string(status);
    if (const auto start = machineName.find_first_not_of('\\'); start != std::string::npos)
        text += "\r\nMachine: " + machineName.substr(start);
    dialogs().message(Icon::Critical, "Error...", text, Buttons::Ok);
}

// The status a caller asked for, left alone when it did not ask.
void tell(std::uint32_t* status, std::uint32_t value) {
    if (status) *status = value;
}

std::string renderValue(const platform::RegValueRead& read) {
    // The platform fills a zeroed buffer of the read size; keep that picture so a short
    // DWORD or an unterminated string reads as it would there.
    std::array<unsigned char, RegistryReadBufferBytes> buffer{};
    std::copy_n(read.data.begin(), std::min<std::size_t>(read.data.size(), buffer.size()), buffer.begin());
    switch (read.type) {
    case platform::reg::Sz: {
        auto end = std::find(buffer.begin(), buffer.end(), 0);
        return std::string(buffer.begin(), end);
    }
    case platform::reg::Dword: {
        std::uint32_t v = std::uint32_t(buffer[0]) | std::uint32_t(buffer[1]) << 8 |
                          std::uint32_t(buffer[2]) << 16 | std::uint32_t(buffer[3]) << 24;
        char hex[9];
        std::snprintf(hex, sizeof hex, "%X", v);
        return std::string("&h") + hex;
    }
    default:
        return {};
    }
}

bool deleteTree(std::uint32_t root, const std::string& keyPath, const std::string& machineName,
                std::uint32_t* status) {
    KeyCloser connection, key;
    Handle opened = 0;
    // Every level connects anew and opens its key by the full path from the root.
    if (auto failed = reachKey(root, keyPath, machineName, OpenMode::Widest, connection, key, opened)) {
        key.close();
        connection.close();
        showOpenFailure("Error:DeleteRemoteKeyValue:", failed, machineName);
        tell(status, failed);
        return false;
    }
    auto& reg = platform::registry();
    std::string lastDeleted;
    bool haveLastDeleted = false;
    for (;;) {
        auto sub = reg.RegEnumKeyEx(opened, 0, RegistrySubkeyNameChars);
        if (sub.error == platform::err::NoMoreItems) {
            const std::uint32_t deleted = reg.RegDeleteKey(opened, "");
            tell(status, deleted);
            return deleted == 0;
        }
        if (sub.error != 0) {
            tell(status, sub.error);
            return false;
        }
        // A child reported deleted must not come back at index 0; if it does, stop rather
        // than loop for ever.
        if (haveLastDeleted && sub.name == lastDeleted) {
            tell(status, platform::err::InvalidParameter);
            return false;
        }
        if (!deleteTree(root, keyPath + "\\" + sub.name, machineName, status)) return false;
        lastDeleted = sub.name;
        haveLastDeleted = true;
    }
}

// A decimal number, or 0x and hexadecimal digits, that fits `bytes` bytes; nothing else (no
// sign, no blanks).
std::optional<std::uint64_t> registryNumber(const std::string& text, int bytes) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty()) return std::nullopt;
    const std::uint64_t most = bytes == 4 ? 0xFFFFFFFFull : ~0ull;
    const std::uint64_t base = hex ? 16 : 10;
    std::uint64_t n = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0 || n > (most - static_cast<std::uint64_t>(d)) / base) return std::nullopt;
        n = n * base + static_cast<std::uint64_t>(d);
    }
    return n;
}

} // namespace

std::uint32_t ToHKeyLong(const std::string& hkeyString) {
    if (hkeyString == "HKLM") return std::uint32_t(platform::reg::LocalMachine);
    if (hkeyString == "HCU") return std::uint32_t(platform::reg::CurrentUser);
    if (hkeyString == "HCR") return std::uint32_t(platform::reg::ClassesRoot);
    return 0;
}

bool GetRemoteKeyValue(std::uint32_t root, const std::string& keyPath, const std::string& valueName,
                       std::string& keyValue, const std::string& machineName, std::uint32_t* status) {
    keyValue.clear();
    tell(status, 0);
    try {
        KeyCloser connection, key;
        Handle opened = 0;
        if (auto failed =
                reachKey(root, keyPath, machineName, OpenMode::ReadWrite, connection, key, opened)) {
            tell(status, failed);
            return false;
        }
        auto read = platform::registry().RegQueryValueEx(opened, valueName, RegistryReadBufferBytes);
        if (read.error != 0) {
            tell(status, read.error);
            return false;
        }
        keyValue = renderValue(read);
        return true;
    } catch (const std::exception& e) {
        keyValue.clear();
        showErrorBox(e.what(), "GetRemoveKeyValue()");
    } catch (...) {
        keyValue.clear();
        showErrorBox("Unknown error", "GetRemoveKeyValue()");
    }
    return false;
}

std::string registryTypeName(std::uint32_t type) {
    switch (type) {
    case platform::reg::None:
        return "REG_NONE";
    case platform::reg::Sz:
        return "REG_SZ";
    case platform::reg::ExpandSz:
        return "REG_EXPAND_SZ";
    case platform::reg::Binary:
        return "REG_BINARY";
    case platform::reg::Dword:
        return "REG_DWORD";
    case platform::reg::MultiSz:
        return "REG_MULTI_SZ";
    case platform::reg::Qword:
        return "REG_QWORD";
    default:
        return "type " + std::to_string(type);
    }
}

bool SetRemoteKeyValue(std::uint32_t root, const std::string& keyPath, const std::string& valueName,
                       const std::string& value, const std::string& machineName, std::uint32_t* status,
                       RegistryWrite* write) {
    if (write) *write = {};
    tell(status, 0);
    try {
        KeyCloser connection, key;
        Handle opened = 0;
        if (auto failed =
                reachKey(root, keyPath, machineName, OpenMode::ReadWrite, connection, key, opened)) {
            key.close();
            connection.close();
            showOpenFailure("Error:SetRemoteKey:", failed, machineName);
            tell(status, failed);
            return false;
        }
        // Writing text over a number (or a list) would leave a value its readers cannot read:
        // an existing value keeps its type. The read only asks for the type.
        namespace reg = platform::reg;
        const platform::RegValueRead existing = platform::registry().RegQueryValueEx(opened, valueName, 0);
        const bool exists = existing.error == 0 || existing.error == platform::err::MoreData;
        if (!exists && existing.error != platform::err::FileNotFound) {
            tell(status, existing.error);
            return false;
        }
        RegistryWrite told;
        told.type = exists ? existing.type : reg::Sz;
        std::vector<std::uint8_t> data;
        if (told.type == reg::Sz || told.type == reg::ExpandSz) {
            // The text and its terminating zero byte, counted.
            data.assign(value.begin(), value.end());
            data.push_back(0);
        } else if (told.type == reg::Dword || told.type == reg::Qword) {
            const int bytes = told.type == reg::Dword ? 4 : 8;
            const std::optional<std::uint64_t> number = registryNumber(value, bytes);
            if (!number) told.refused = RegistryWrite::Refused::NotANumber;
            for (int i = 0; number && i < bytes; ++i) // little-endian, as Windows stores them
                data.push_back(static_cast<std::uint8_t>(*number >> (8 * i)));
        } else {
            told.refused = RegistryWrite::Refused::TypeNotWritten;
        }
        if (write) *write = told;
        if (told.refused != RegistryWrite::Refused::No) return false;
        const std::uint32_t written = platform::registry().RegSetValueEx(opened, valueName, told.type, data);
        tell(status, written);
        return written == 0;
    } catch (const std::exception& e) {
        showErrorBox(e.what(), "SetRemoteKeyValue()");
    } catch (...) {
        showErrorBox("Unknown error", "SetRemoteKeyValue()");
    }
    return false;
}

bool DeleteRemoteKeyValue(std::uint32_t root, const std::string& keyPath, const std::string& machineName,
                          std::uint32_t* status) {
    tell(status, 0);
    try {
        // A path naming no key below the root would open the root itself and empty it whole
        // before failing to delete it: refuse it before anything is touched.
        if (keyPath.find_first_not_of('\\') == std::string::npos) {
            showOpenFailure("Error:DeleteRemoteKeyValue:", platform::err::InvalidParameter, machineName);
            tell(status, platform::err::InvalidParameter);
            return false;
        }
        return deleteTree(root, keyPath, machineName, status);
    } catch (const std::exception& e) {
        showErrorBox(e.what(), "DeleteRemoteKeyValue()");
    } catch (...) {
        showErrorBox("Unknown error", "DeleteRemoteKeyValue()");
    }
    return false;
}

} // namespace vantrel
