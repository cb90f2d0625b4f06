#pragma once

#include "fileoperation.h"

#include <QString>

// What the files of FileOperation share: whether the test hook makes the
// step fail for the path (never while no hook is set).
bool faultAt(FileOperation::Fault fault, const QString& path);

// FileOperation::lookUp, with the size the same look-up found (set only
// when it found something).
FileOperation::Presence lookUpWithSize(const QString& path, qint64* size);
