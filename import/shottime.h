#pragma once

#include <QString>

// The shot time of a photo or raw file, the one reading every import and
// the raw-file download share. It is the EXIF date in its stored form
// "yy:MM:dd HH:mm:ss" (the image's own date-time, else the original one),
// so shot-time records written earlier still compare equal.
namespace ShotTime {

// False only when the file cannot be opened for reading. shotTime is set
// when the file carries a date and keeps what the caller put in it
// otherwise.
bool read(const QString& path, QString& shotTime);

} // namespace ShotTime
