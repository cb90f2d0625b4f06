#pragma once

#include <QString>

namespace FileNames {

// A name from the web service may become a file name only when it is a
// plain one: not empty, not "." or "..", and without "/", "\" or NUL, so it
// can never reach outside the folder it is joined to.
bool isPlainFileName(const QString& name);

} // namespace FileNames
