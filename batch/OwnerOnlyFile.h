#pragma once
// A new file of the run's record that no other user may read (the password never reaches one,
// but machine names, accounts and errors are nobody else's business), never replacing a file
// already there.
#include <QFile>

#include <memory>
#include <string>

namespace vantrel {

// Creates `name` in `directory`, readable and writable by its owner alone, open for writing
// with no buffer of its own. When the name is taken: "_2", "_3" ... before the extension, or
// with `exact` the file is refused. Throws std::runtime_error naming `what` ("the run log")
// and the reason when no file can be created.
std::unique_ptr<QFile> createOwnerOnlyFile(const std::string& directory, const std::string& name, bool exact,
                                           const std::string& what);

} // namespace vantrel
