// The browser list and the messenger (UTF-16 already), and the network logon check.
#include "platform/win32/Backend.h"
#include "platform/win32/Convert.h"

#include "platform/win32/WindowsApi.h"

namespace platform::win32 {

namespace {

class Win32Network : public NetworkManagement {
  public:
    ServerEnumeration NetServerEnum(std::uint32_t serverType) override {
        ServerEnumeration out;
        LPBYTE buffer = nullptr;
        DWORD read = 0, total = 0;
        const NET_API_STATUS status = ::NetServerEnum(nullptr, 100, &buffer, MAX_PREFERRED_LENGTH, &read,
                                                      &total, serverType, nullptr, nullptr);
        out.error = status;
        out.totalEntries = total;
        if (buffer) {
            // ERROR_MORE_DATA still hands back the entries read.
            if (status == NERR_Success || status == ERROR_MORE_DATA) {
                const auto* info = reinterpret_cast<const SERVER_INFO_100*>(buffer);
                for (DWORD i = 0; i < read; ++i)
                    out.servers.push_back(ServerInfo100{
                        info[i].sv100_platform_id, utf16(info[i].sv100_name ? info[i].sv100_name : L"")});
            }
            NetApiBufferFree(buffer);
        }
        return out;
    }

    std::uint32_t NetMessageBufferSend(const std::u16string& msgName, const std::u16string& buffer,
                                       std::uint32_t byteLength) override {
        // Never read past the caller's buffer, whatever length it claims.
        const std::uint32_t bytes =
            static_cast<std::uint32_t>(std::min<std::size_t>(byteLength, buffer.size() * sizeof(char16_t)));
        const std::wstring name = wide(std::u16string_view(msgName).substr(0, msgName.find(u'\0')));
        std::u16string message = buffer;
        return ::NetMessageBufferSend(nullptr, name.c_str(), nullptr,
                                      reinterpret_cast<LPBYTE>(message.data()), bytes);
    }
};

class Win32Logon : public Logon {
  public:
    std::uint32_t CheckNetworkLogon(const std::string& domain, const std::string& user,
                                    const std::string& password) override {
        std::wstring secret = wide(password);
        HANDLE token = nullptr;
        const std::wstring domainName = wide(domain);
        // Without a domain the user is written name@domain, which LogonUserW takes with none.
        const BOOL ok = LogonUserW(wide(user).c_str(), domain.empty() ? nullptr : domainName.c_str(),
                                   secret.c_str(), LOGON32_LOGON_NETWORK, LOGON32_PROVIDER_DEFAULT, &token);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        SecureZeroMemory(secret.data(), secret.size() * sizeof(wchar_t));
        if (token) CloseHandle(token);
        return error;
    }
};

} // namespace

NetworkManagement& win32Network() {
    static Win32Network instance;
    return instance;
}

Logon& win32Logon() {
    static Win32Logon instance;
    return instance;
}

} // namespace platform::win32
