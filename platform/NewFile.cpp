#include "platform/NewFile.h"

#include <fcntl.h>
#ifdef _WIN32
#include <filesystem>
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace platform {

int createNewFile(const std::string& path) {
#ifdef _WIN32
    // Who may write it follows the folder's access list, as for every file made there.
    const std::filesystem::path native(std::u8string(path.begin(), path.end()));
    return ::_wopen(native.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
#else
    // The umask can only take bits away from these: never group or others' write.
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
#endif
}

std::string numberedName(const std::string& name, int n) {
    const auto dot = name.rfind('.');
    const std::string suffix = "_" + std::to_string(n);
    if (dot == std::string::npos || dot == 0) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

} // namespace platform
