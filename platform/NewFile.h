#pragma once
// New files of a run's record (results, logs): made fresh, never over an existing one, and
// written by their owner alone whatever the umask, so no other user can forge a line.
#include <string>

namespace platform {

// Creates `path` (UTF-8), which must not exist yet, open for writing. Gives a C run-time
// descriptor, or -1 with errno set (EEXIST when the name is taken).
int createNewFile(const std::string& path);

// The name tried when `name` is taken: "x.csv" -> "x_2.csv" for n = 2, the number before the
// extension.
std::string numberedName(const std::string& name, int n);

} // namespace platform
