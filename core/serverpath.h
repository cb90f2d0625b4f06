#pragma once

#include <QString>

// Folders of the file server that the client is about to write into.
namespace ServerPath {

// True for a folder the client may make and write into: an absolute path,
// free of "." and ".." levels, strictly below the mount root. A root or
// order path from the web service passes this after Config::returnPicPath
// has mapped it; one that fails it is refused, so a reply can never make the
// client build folders beside or above the shares.
bool isUnderMountRoot(const QString& mappedPath);

} // namespace ServerPath
