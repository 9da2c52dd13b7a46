#pragma once
// The real Windows API behind the platform interfaces (Windows builds only).
//
// Text rule: every call goes to the W (UTF-16) function. The interfaces' std::string text is
// UTF-8 and is converted at this boundary; their std::u16string text passes unchanged. Where
// an interface promises the byte counts of an A function (EnumServicesStatusA's buffer,
// RegQueryValueExA's string sizes, RegEnumKeyExA's name buffer), the counts are those the A
// function gives on a system whose ANSI code page is UTF-8: the length of the UTF-8 text.
// That is also what the simulated network counts, so both backends agree and no name is
// garbled by a narrower code page.
//
// The directory bind uses ADSI (ADsGetObject with the path as given, IADsUser), so the
// "LDAP://HOST/NAME,user" form is resolved by Windows itself.
#include "platform/Logon.h"
#include "platform/Lsa.h"
#include "platform/Network.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"

namespace platform::win32 {

ServiceControl& win32ServiceControl();
Registry& win32Registry();
Lsa& win32Lsa();
NetworkManagement& win32Network();
ClearTool& win32ClearTool();
Directory& win32Directory();
Logon& win32Logon();

} // namespace platform::win32
