// A service for the conformance suite on Windows: its command line sets how it behaves, so
// one executable can be registered as every kind of service a case needs.
//   -start MS   time from start pending to running (check point grows every hint / 4)
//   -stop MS    time from stop pending to stopped
//   -hint MS    the wait hint it reports while pending
//   -hang       stays start pending with its first check point, ignoring every control
//   -fail       ends at once, before it ever reaches the service manager
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

DWORD startMs = 0;
DWORD stopMs = 0;
DWORD hintMs = 0;
bool hang = false;

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopRequested = nullptr;
DWORD checkPoint = 0;

void report(DWORD state, DWORD accepted) {
    SERVICE_STATUS s{};
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.dwCurrentState = state;
    s.dwControlsAccepted = accepted;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    s.dwCheckPoint = pending ? checkPoint : 0;
    s.dwWaitHint = pending ? hintMs : 0;
    SetServiceStatus(statusHandle, &s);
}

// Pending for `ms`, the check point advancing every quarter of the wait hint.
void pend(DWORD state, DWORD ms) {
    checkPoint = 1;
    report(state, 0);
    const DWORD step = hintMs / 4 ? hintMs / 4 : 10;
    const ULONGLONG end = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        Sleep(static_cast<DWORD>(end - now < step ? end - now : step));
        ++checkPoint;
        report(state, 0);
    }
}

DWORD WINAPI control(DWORD code, DWORD, void*, void*) {
    if (code == SERVICE_CONTROL_STOP && !hang) {
        // Stop pending is reported before the control returns, so the caller sees it.
        checkPoint = 1;
        report(SERVICE_STOP_PENDING, 0);
        SetEvent(stopRequested);
    }
    return NO_ERROR;
}

void WINAPI serviceMain(DWORD, LPWSTR*) {
    statusHandle = RegisterServiceCtrlHandlerExW(L"", control, nullptr);
    if (!statusHandle) return;
    if (hang) {
        checkPoint = 1;
        report(SERVICE_START_PENDING, 0);
        Sleep(10 * 60 * 1000); // the suite ends it long before; never outlive a forgotten run
        ExitProcess(1);
    }
    pend(SERVICE_START_PENDING, startMs);
    report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP);
    WaitForSingleObject(stopRequested, INFINITE);
    pend(SERVICE_STOP_PENDING, stopMs);
    report(SERVICE_STOPPED, 0);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        auto number = [&]() -> DWORD { return i + 1 < argc ? std::strtoul(argv[++i], nullptr, 10) : 0; };
        if (!std::strcmp(argv[i], "-start"))
            startMs = number();
        else if (!std::strcmp(argv[i], "-stop"))
            stopMs = number();
        else if (!std::strcmp(argv[i], "-hint"))
            hintMs = number();
        else if (!std::strcmp(argv[i], "-hang"))
            hang = true;
        else if (!std::strcmp(argv[i], "-fail"))
            return 3;
    }
    stopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wchar_t name[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{name, serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
