#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>

// Small file helpers for tests.
namespace TestFiles {

// The file's bytes, or "<missing>" when it cannot be read.
QByteArray readAll(const QString& path);
// Writes the file, making its folders first.
bool write(const QString& path, const QByteArray& content);
// Writes the file as write() does, last modified the given hours ago.
bool writeAged(const QString& path, const QByteArray& content, int hours);
// The names in a folder, sorted.
QStringList entries(const QString& dir,
                    QDir::Filters filters = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);

} // namespace TestFiles
