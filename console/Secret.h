#pragma once
// The password of an update: the first line of standard input or of a file, never an argument
// or the environment, where other users' tools can read it.
#include <string>

namespace vantrel::console {

struct Secret {
    std::string password;
    std::string refusal; // not empty: why there is no password
};

// The first line of standard input; at a terminal, typed without echo.
Secret passwordFromStdin();
// The first line of `path`, which must be a file no other user can read (as ssh demands of a
// key file).
Secret passwordFromFile(const std::string& path);

} // namespace vantrel::console
