#pragma once
// The password of an update: the first line of standard input or of a file, never an argument
// or the environment, where other users' tools can read it.
#include "platform/Password.h"

#include <cstddef>
#include <string>

namespace vantrel::console {

struct Secret {
    platform::Password password;
    std::string refusal; // not empty: why there is no password
};

// The longest password line taken, in bytes. Windows takes no password near this long; a
// longer line is refused rather than cut, since a cut password would be set on every machine.
inline constexpr std::size_t MaxPasswordBytes = 1024;

// The first line of standard input; at a terminal, typed without echo.
Secret passwordFromStdin();
// The first line of `path`, which must be a plain file no other user can read or take over
// (as ssh demands of a key file).
Secret passwordFromFile(const std::string& path);

} // namespace vantrel::console
