#include "exifreader.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <exception>
#include <mutex>

// The library's 0.27 interface still hands out std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace {

// The library's XMP toolkit must be set up once before threads parse files
// in parallel; its warnings about odd files are not ours to print.
void initializeLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

QString textOf(const Exiv2::ExifData& exif, const char* key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it == exif.end() || it->count() == 0)
        return QString();
    return QString::fromStdString(it->toString());
}

int orientationOf(const Exiv2::ExifData& exif)
{
    const auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (it == exif.end() || it->count() == 0)
        return 0;
    const long value = it->toLong(0);
    return value >= 1 && value <= 8 ? int(value) : 0;
}

// Reads what the opened image holds; what cannot be parsed reads as no tags.
template <typename Open> ExifReader::Info parse(Open open, const QString& what)
{
    ExifReader::Info info;
    initializeLibrary();
    try {
        Exiv2::Image::AutoPtr image = open();
        if (!image.get())
            return info;
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        info.readable = true;
        info.orientation = orientationOf(exif);
        // The image's own date-time is the first date a camera writes into
        // the file; the original date stands in where it is missing.
        info.shotTime = ExifReader::shotTimeText(textOf(exif, "Exif.Image.DateTime"));
        if (info.shotTime.isEmpty())
            info.shotTime = ExifReader::shotTimeText(textOf(exif, "Exif.Photo.DateTimeOriginal"));
    } catch (const Exiv2::AnyError& error) {
        qDebug() << "EXIF not readable" << what << error.what();
        info = ExifReader::Info();
    } catch (const std::exception& error) {
        qDebug() << "EXIF not readable" << what << error.what();
        info = ExifReader::Info();
    } catch (...) {
        qDebug() << "EXIF not readable" << what;
        info = ExifReader::Info();
    }
    return info;
}

} // namespace

ExifReader::Info ExifReader::read(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return Info();
    return parse([&path] { return Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString()); }, path);
}

ExifReader::Info ExifReader::fromBytes(const QByteArray& data)
{
    if (data.isEmpty())
        return Info();
    // Parsed where the bytes lie: the library does not copy them.
    return parse(
        [&data] {
            return Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(data.constData()),
                                             long(data.size()));
        },
        QStringLiteral("(%1 bytes)").arg(data.size()));
}

int ExifReader::orientation(const QString& path)
{
    return read(path).orientation;
}

QString ExifReader::shotTime(const QString& path)
{
    return read(path).shotTime;
}

QString ExifReader::shotTimeText(const QString& exifDateTime)
{
    QString text = exifDateTime;
    const int zero = text.indexOf(QChar(0));
    if (zero >= 0)
        text.truncate(zero);
    text = text.trimmed();
    bool hasDate = false;
    for (const QChar c : qAsConst(text))
        hasDate = hasDate || (c >= QLatin1Char('1') && c <= QLatin1Char('9'));
    if (!hasDate)
        return QString();
    return text.mid(2, 17).trimmed();
}

#pragma GCC diagnostic pop
