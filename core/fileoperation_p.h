#pragma once

#include "fileoperation.h"

#include <QString>

// What the files of FileOperation share: whether the test hook makes the
// step fail for the path (never while no hook is set).
bool faultAt(FileOperation::Fault fault, const QString& path);
