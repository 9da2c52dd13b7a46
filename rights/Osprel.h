#pragma once
// Osprel: grants named privileges and rights to accounts on one machine through its local
// security authority. The whole program lives in osprelMain so tests can run it in-process.
#include <cstdio>
#include <string>
#include <string_view>

// Runs Osprel with a C-style argument vector (argv[0] is the program name) and writes every
// line to out. Returns the exit code: 0 when all accounts were processed, 1 otherwise.
// Any argument vector is accepted, including argc 0 and null entries.
//
// Beyond the usual lines:
// - A computer, account or privilege name longer than 255 UTF-16 units (what its 512-byte
//   buffer holds) is refused before any LSA call: "'NAME': account name longer than 255
//   characters." (or "computer name", "privilege name"), exit 1.
// - A computer name of nothing but blanks and backslashes is refused before any LSA call:
//   "'NAME': computer name is empty.", exit 1.
// - A user, group, alias or well-known group the LSA hands back without a usable referenced
//   domain prints "no domain" in the first pass and "no SID, skipped" in the second.
// - The name column is printf's "%-30.30s": it counts bytes of the name as typed.
// - A fault of the platform itself prints "Osprel: " and its description, exit 1.
int osprelMain(int argc, char** argv, std::FILE* out);

namespace osprel {

// Names are converted from the locale's code page, which is UTF-8 here. Each byte that is not
// part of a well-formed sequence becomes U+FFFD, as the platform's conversion does.
std::u16string fromCodePage(std::string_view text);

// The longest name (in UTF-16 units, as held for the LSA) that fits a 512-byte name buffer.
constexpr std::size_t MaxNameUnits = 255;
constexpr int MaxAccounts = 32;
constexpr int MaxPrivileges = 32;

} // namespace osprel
