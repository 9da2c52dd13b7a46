#include "console/Secret.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#ifdef _WIN32
#include <aclapi.h>
#include <io.h>
#include <sddl.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vantrel::console {

namespace {

// The bytes of a line as read, wiped when it goes. Room for the longest password with a UTF-8
// byte-order mark before it and a CR after it, and one byte more to see that a line is longer.
class LineBuffer {
  public:
    static constexpr std::size_t Room = MaxPasswordBytes + 3 + 1 + 1;
    ~LineBuffer() { platform::wipe(bytes_, sizeof bytes_); }
    bool full() const { return size_ == Room; }
    void add(char c) { bytes_[size_++] = c; }

    // The password without the mark and the line end; refused when the line is too long.
    Secret take(const std::string& where) const {
        const char* begin = bytes_;
        std::size_t size = size_;
        if (size >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0) {
            begin += 3;
            size -= 3;
        }
        if (size > 0 && begin[size - 1] == '\r') --size;
        if (full() || size > MaxPasswordBytes)
            return {{},
                    where + " is longer than " + std::to_string(MaxPasswordBytes) +
                        " bytes; a password is never cut short, so it is refused"};
        return {platform::Password(begin, size), {}};
    }

  private:
    char bytes_[Room];
    std::size_t size_ = 0;
};

enum class Read { Line, Nothing, Failed };

// Reads up to the first LF (not kept), the end of input or a full buffer, a byte at a time so
// that nothing past the line is taken from a shared input. `readByte` gives 1, 0 at the end, or
// -1 on failure.
template <class ReadByte> Read readFirstLine(LineBuffer& line, ReadByte readByte) {
    bool any = false;
    while (!line.full()) {
        char c = 0;
        const long n = readByte(c);
        if (n < 0) return Read::Failed;
        if (n == 0) break;
        any = true;
        if (c == '\n') break;
        line.add(c);
    }
    return any ? Read::Line : Read::Nothing;
}

#ifdef _WIN32
std::wstring wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string utf8(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.pop_back();
    return out;
}

// DOMAIN\name of an account, or its SID string when it has no name here.
std::string accountName(PSID sid) {
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return domain[0] ? utf8(domain) + "\\" + utf8(name) : utf8(name);
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return "an unknown account";
    const std::string shown = utf8(text);
    LocalFree(text);
    return shown;
}

// The user this program runs as, SYSTEM and Administrators: those the file's owner and every
// account the file lets read it, or change who may, must be. Anyone else could read it, or
// could give themselves the right to.
class Trusted {
  public:
    Trusted() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        user_ = std::make_unique<unsigned char[]>(size);
        if (!GetTokenInformation(token, TokenUser, user_.get(), size, &size)) user_.reset();
        CloseHandle(token);
    }
    bool operator()(PSID sid) const {
        if (user_ && EqualSid(sid, reinterpret_cast<TOKEN_USER*>(user_.get())->User.Sid)) return true;
        return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
    }

  private:
    std::unique_ptr<unsigned char[]> user_;
};

// Read from the open handle, so that the file checked is the file read.
std::string sharedWith(HANDLE file) {
    if (GetFileType(file) != FILE_TYPE_DISK) return "it is not a plain file";
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD rc =
        GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &dacl, nullptr, &descriptor);
    if (rc != ERROR_SUCCESS)
        return "its permissions could not be read (Windows error " + std::to_string(rc) + ")";
    const std::unique_ptr<void, decltype(&LocalFree)> freeLater(descriptor, &LocalFree);
    const Trusted trusted;
    // An owner may always change the access list, and so let anyone read the file.
    if (!owner || !trusted(owner))
        return "it belongs to " + (owner ? accountName(owner) : std::string("no one")) +
               ", who may let any user read it";
    if (!dacl) return "it has no access list, so every user may read it";

    // Wine keeps no entries of a file's own (only its mode's, as Everyone): the rest follows
    // Microsoft's documentation of access lists.
    constexpr ACCESS_MASK readAccess = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;
    constexpr ACCESS_MASK takeOver = WRITE_DAC | WRITE_OWNER;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        // Entries only handed down to files made inside it do not apply to it.
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
            continue;
        // Both kinds start alike: header, mask, SID.
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (!(allowed->Mask & (readAccess | takeOver))) continue;
        const PSID sid = reinterpret_cast<PSID>(&allowed->SidStart);
        if (trusted(sid)) continue;
        return "it lets " + accountName(sid) +
               (allowed->Mask & readAccess ? " read it" : " change who may read it");
    }
    return {};
}

// Echo off while a person types the password at the console, and back on however the prompt
// ends: Ctrl+C, Ctrl+Break and a closed console end the program where it stands.
HANDLE consoleIn = nullptr;
DWORD consoleMode = 0;

BOOL WINAPI restoreEcho(DWORD) {
    SetConsoleMode(consoleIn, consoleMode);
    return FALSE; // and on to the handler that ends the program
}

class NoEcho {
  public:
    NoEcho() {
        consoleIn = GetStdHandle(STD_INPUT_HANDLE);
        active_ = GetConsoleMode(consoleIn, &consoleMode);
        if (!active_) return;
        SetConsoleCtrlHandler(restoreEcho, TRUE);
        SetConsoleMode(consoleIn, consoleMode & ~ENABLE_ECHO_INPUT);
    }
    ~NoEcho() {
        if (!active_) return;
        SetConsoleMode(consoleIn, consoleMode);
        SetConsoleCtrlHandler(restoreEcho, FALSE);
    }
    bool active() const { return active_; }

  private:
    bool active_ = false;
};

long readStdinByte(char& c) {
    return ::_read(_fileno(stdin), &c, 1);
}
#else
std::string sharedWith(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return "its permissions could not be read";
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

// The terminal's settings with and without echo, for the signal handlers below.
termios echoing{};
termios quiet{};

// The signals that end the prompt, and the one that suspends it (Ctrl+Z).
constexpr int EndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
struct sigaction before[sizeof EndingSignals / sizeof *EndingSignals]{};
struct sigaction beforeSuspend {};

void showPrompt() {
    static constexpr char prompt[] = "Password: ";
    [[maybe_unused]] const auto n = ::write(STDERR_FILENO, prompt, sizeof prompt - 1);
}

// Echo back on, then the signal's own end.
extern "C" void restoreEchoAndEnd(int signal) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &echoing);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Echo back on while suspended; off again, and the prompt again, once continued.
extern "C" void restoreEchoAndSuspend(int) {
    const int savedErrno = errno;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &echoing);
    ::signal(SIGTSTP, SIG_DFL);
    sigset_t tstp;
    sigemptyset(&tstp);
    sigaddset(&tstp, SIGTSTP);
    ::sigprocmask(SIG_UNBLOCK, &tstp, nullptr);
    ::raise(SIGTSTP);
    // Here once continued.
    ::sigprocmask(SIG_BLOCK, &tstp, nullptr);
    struct sigaction again {};
    again.sa_handler = restoreEchoAndSuspend;
    again.sa_flags = SA_RESTART;
    ::sigaction(SIGTSTP, &again, nullptr);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    showPrompt();
    errno = savedErrno;
}

// Handlers only while prompting: a signal the caller ignores stays ignored, and whatever the
// program had before comes back afterwards.
class NoEcho {
  public:
    NoEcho() {
        active_ = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &echoing) == 0;
        if (!active_) return;
        struct sigaction act {};
        act.sa_flags = SA_RESTART;
        act.sa_handler = restoreEchoAndEnd;
        for (std::size_t i = 0; i < std::size(EndingSignals); ++i) {
            ::sigaction(EndingSignals[i], nullptr, &before[i]);
            if (before[i].sa_handler != SIG_IGN) ::sigaction(EndingSignals[i], &act, nullptr);
        }
        ::sigaction(SIGTSTP, nullptr, &beforeSuspend);
        act.sa_handler = restoreEchoAndSuspend;
        if (beforeSuspend.sa_handler != SIG_IGN) ::sigaction(SIGTSTP, &act, nullptr);
        quiet = echoing;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~NoEcho() {
        if (!active_) return;
        ::tcsetattr(STDIN_FILENO, TCSANOW, &echoing);
        for (std::size_t i = 0; i < std::size(EndingSignals); ++i)
            ::sigaction(EndingSignals[i], &before[i], nullptr);
        ::sigaction(SIGTSTP, &beforeSuspend, nullptr);
    }
    bool active() const { return active_; }

  private:
    bool active_ = false;
};

long readStdinByte(char& c) {
    for (;;) {
        const auto n = ::read(STDIN_FILENO, &c, 1);
        if (n >= 0 || errno != EINTR) return static_cast<long>(n);
    }
}
#endif

} // namespace

Secret passwordFromStdin() {
    LineBuffer line;
    Read read = Read::Nothing;
    {
        const NoEcho quiet;
#ifdef _WIN32
        if (quiet.active()) std::fputs("Password: ", stderr);
#else
        if (quiet.active()) showPrompt();
#endif
        read = readFirstLine(line, readStdinByte);
        if (quiet.active()) std::fputs("\n", stderr);
    }
    if (read == Read::Failed)
        return {{}, std::string("standard input could not be read: ") + std::strerror(errno)};
    if (read == Read::Nothing) return {{}, "standard input holds no password"};
    return line.take("the password on standard input");
}

Secret passwordFromFile(const std::string& path) {
    const std::string named = "the password file " + path;
    LineBuffer line;
    Read read = Read::Nothing;
#ifdef _WIN32
    // A pipe with no one at its other end fails at once rather than waiting.
    const HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {{}, named + " cannot be read (Windows error " + std::to_string(GetLastError()) + ")"};
    const std::unique_ptr<void, decltype(&CloseHandle)> closeLater(file, &CloseHandle);
    if (const std::string reason = sharedWith(file); !reason.empty())
        return {{}, named + " is refused: " + reason};
    read = readFirstLine(line, [file](char& c) -> long {
        DWORD got = 0;
        return ReadFile(file, &c, 1, &got, nullptr) ? static_cast<long>(got) : -1;
    });
    if (read == Read::Failed)
        return {{}, named + " cannot be read (Windows error " + std::to_string(GetLastError()) + ")"};
#else
    // Without blocking: a FIFO with no writer would hold the open for ever. Its type is then
    // checked on the descriptor, before a byte is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return {{}, named + " cannot be read: " + std::strerror(errno)};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closeLater{fd};
    if (const std::string reason = sharedWith(fd); !reason.empty())
        return {{}, named + " is refused: " + reason};
    read = readFirstLine(line, [fd](char& c) -> long {
        for (;;) {
            const auto n = ::read(fd, &c, 1);
            if (n >= 0 || errno != EINTR) return static_cast<long>(n);
        }
    });
    if (read == Read::Failed) return {{}, named + " cannot be read: " + std::strerror(errno)};
#endif
    return line.take("the first line of " + path);
}

} // namespace vantrel::console
