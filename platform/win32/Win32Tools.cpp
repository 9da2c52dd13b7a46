// ClearCase's command line, started with an argument list (never through a shell), and the
// directory bind through ADSI.
#include "platform/win32/Backend.h"
#include "platform/win32/Convert.h"

#include "platform/win32/WindowsApi.h"

#include <thread>

namespace platform::win32 {

namespace {

// One argument as the C runtime splits a command line: quoted when it holds a blank or a
// quote, with the backslashes before a quote doubled.
std::wstring quoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// The tool's output is in the system's ANSI code page.
std::string fromCodePage(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return narrow(text);
}

std::string readAll(HANDLE pipe) {
    std::string out;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0)
        out.append(chunk, got);
    return out;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

class Win32ClearTool : public ClearTool {
  public:
    CmdExecResult CmdExec(const std::vector<std::string>& arguments) override {
        // Found on the PATH only: never a cleartool.exe lying in the current directory.
        std::wstring path(32767, L'\0');
        path.resize(GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
        wchar_t program[MAX_PATH];
        if (path.empty() || !SearchPathW(path.c_str(), L"cleartool", L".exe", MAX_PATH, program, nullptr))
            return {false, {}, systemMessage(ERROR_FILE_NOT_FOUND)};

        std::wstring commandLine = quoteArgument(program);
        for (const auto& a : arguments)
            commandLine += L" " + quoteArgument(wide(a));

        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
        if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return {false, {}, systemMessage(GetLastError())};
        if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
            const DWORD e = GetLastError();
            CloseHandle(outRead), CloseHandle(outWrite);
            return {false, {}, systemMessage(e)};
        }
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = outWrite;
        startup.hStdError = errWrite;
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessW(program, commandLine.data(), nullptr, nullptr, TRUE,
                                            CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
        const DWORD startError = started ? ERROR_SUCCESS : GetLastError();
        // Only the child holds the write ends now, so the reads end when it does.
        CloseHandle(outWrite);
        CloseHandle(errWrite);
        if (!started) {
            CloseHandle(outRead), CloseHandle(errRead);
            return {false, {}, systemMessage(startError)};
        }
        std::string errors;
        std::thread errReader([&] { errors = readAll(errRead); });
        const std::string output = readAll(outRead);
        errReader.join();
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess), CloseHandle(process.hThread);
        CloseHandle(outRead), CloseHandle(errRead);

        if (code == 0) return {true, fromCodePage(output), {}};
        std::string description = trimmed(fromCodePage(errors.empty() ? output : errors));
        if (description.empty()) description = "cleartool: Error: exit code " + std::to_string(code) + ".";
        return {false, fromCodePage(output), description};
    }
};

// COM for the calling thread, for one call.
class ComScope {
  public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    HRESULT hr_;
};

// A property the object leaves unset reads as empty, as it does in a script.
std::string property(IADsUser* user, HRESULT (STDMETHODCALLTYPE IADsUser::*get)(BSTR*)) {
    BSTR value = nullptr;
    if (FAILED((user->*get)(&value)) || !value) return {};
    std::string out = narrow(std::wstring_view(value, SysStringLen(value)));
    SysFreeString(value);
    return out;
}

class Win32Directory : public Directory {
  public:
    DirectoryUser BindUser(const std::string& path) override {
        ComScope com;
        IADsUser* user = nullptr;
        const HRESULT hr = ADsGetObject(wide(path).c_str(), IID_IADsUser, reinterpret_cast<void**>(&user));
        if (FAILED(hr) || !user) return {false, {}, {}, systemMessage(static_cast<std::uint32_t>(hr))};
        DirectoryUser out{
            true, property(user, &IADsUser::get_Description), property(user, &IADsUser::get_FullName), {}};
        user->Release();
        return out;
    }
};

} // namespace

ClearTool& win32ClearTool() {
    static Win32ClearTool instance;
    return instance;
}

Directory& win32Directory() {
    static Win32Directory instance;
    return instance;
}

} // namespace platform::win32
