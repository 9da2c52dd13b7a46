#pragma once
// The system headers of the Win32 facilities. The interfaces name their operations as
// Windows does (OpenService, RegOpenKeyEx ...), which the headers define as macros for the A
// or W function; the macros go, and the facilities name the W functions themselves.
#include <windows.h>

// The COM types before the directory interfaces that use them.
#include <objbase.h>
#include <oleauto.h>

#include <activeds.h>
#include <lm.h>
#include <ntsecapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#undef OpenSCManager
#undef OpenService
#undef StartService
#undef ChangeServiceConfig
#undef QueryServiceConfig
#undef EnumServicesStatus
#undef RegConnectRegistry
#undef RegOpenKeyEx
#undef RegOpenKey
#undef RegQueryValueEx
#undef RegSetValueEx
#undef RegEnumKeyEx
#undef RegDeleteKey
