#include "console/Secret.h"

#include <QFile>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#ifdef _WIN32
#include <aclapi.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vantrel::console {

namespace {

// The line without its line end (LF, CR LF); a UTF-8 byte-order mark left by an editor is no
// part of the password.
std::string firstLine(std::string text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    const auto end = text.find('\n');
    if (end != std::string::npos) text.resize(end);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

#ifdef _WIN32
// A DACL granting read to Everyone, Authenticated Users or Users hands the secret to every account here.
std::string sharedWith(const QString& path, const QFile&) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring wide = path.toStdWString();
    const DWORD rc = GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                           nullptr, &dacl, nullptr, &descriptor);
    if (rc != ERROR_SUCCESS)
        return "its permissions could not be read (Windows error " + std::to_string(rc) + ")";
    const std::unique_ptr<void, decltype(&LocalFree)> freeLater(descriptor, &LocalFree);
    if (!dacl) return "it has no access list, so every user may read it";

    struct Group {
        WELL_KNOWN_SID_TYPE type;
        const char* name;
    };
    static constexpr Group groups[] = {{WinWorldSid, "Everyone"},
                                       {WinAuthenticatedUserSid, "Authenticated Users"},
                                       {WinBuiltinUsersSid, "Users"}};
    constexpr ACCESS_MASK readAccess = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (!(allowed->Mask & readAccess)) continue;
        for (const Group& g : groups)
            if (IsWellKnownSid(reinterpret_cast<PSID>(&allowed->SidStart), g.type))
                return std::string("it grants read access to ") + g.name;
    }
    return {};
}

// Echo off while a person types the password at the console.
class NoEcho {
  public:
    NoEcho() {
        in_ = GetStdHandle(STD_INPUT_HANDLE);
        active_ = GetConsoleMode(in_, &mode_) && SetConsoleMode(in_, mode_ & ~ENABLE_ECHO_INPUT);
    }
    ~NoEcho() {
        if (active_) SetConsoleMode(in_, mode_);
    }
    bool active() const { return active_; }

  private:
    HANDLE in_ = nullptr;
    DWORD mode_ = 0;
    bool active_ = false;
};
#else
std::string sharedWith(const QString&, const QFile& file) {
    struct stat st {};
    if (::fstat(file.handle(), &st) != 0) return "its permissions could not be read";
    if (!S_ISREG(st.st_mode)) return "it is not a plain file";
    if (st.st_uid != ::geteuid() && st.st_uid != 0) return "it belongs to another user";
    if (st.st_mode & (S_IRWXG | S_IRWXO)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return std::string("its permissions ") + mode +
               " let other users at it (chmod 600 makes it its owner's alone)";
    }
    return {};
}

// The terminal's settings while echo is off, for the signal handler below.
termios echoing{};

// Ctrl+C at the prompt must not leave the terminal without echo.
extern "C" void restoreEchoAndDie(int signal) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &echoing);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class NoEcho {
  public:
    NoEcho() {
        active_ = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &echoing) == 0;
        if (!active_) return;
        std::signal(SIGINT, restoreEchoAndDie);
        std::signal(SIGTERM, restoreEchoAndDie);
        termios quiet = echoing;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~NoEcho() {
        if (!active_) return;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &echoing);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
    bool active() const { return active_; }

  private:
    bool active_ = false;
};
#endif

} // namespace

Secret passwordFromStdin() {
    std::string line;
    {
        const NoEcho quiet;
        if (quiet.active()) std::cerr << "Password: " << std::flush;
        std::getline(std::cin, line);
        if (quiet.active()) std::cerr << '\n';
    }
    if (!std::cin && line.empty()) return {{}, "standard input holds no password"};
    return {firstLine(line), {}};
}

Secret passwordFromFile(const std::string& path) {
    const QString name = QString::fromStdString(path);
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, "the password file " + path + " cannot be read: " + file.errorString().toStdString()};
    if (const std::string reason = sharedWith(name, file); !reason.empty())
        return {{}, "the password file " + path + " is refused: " + reason};
    // A password is one short line: more is never read.
    return {firstLine(file.read(64 * 1024).toStdString()), {}};
}

} // namespace vantrel::console
