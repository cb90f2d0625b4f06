#include "jpegcodec.h"

#include <QColorSpace>
#include <QList>
#include <QMap>

#include <turbojpeg.h>

#include <memory>

namespace {

struct HandleDeleter
{
    void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleDeleter>;

const unsigned char* bytes(const QByteArray& data)
{
    return reinterpret_cast<const unsigned char*>(data.constData());
}

struct Header
{
    int width = 0;
    int height = 0;
    int subsampling = -1;
    int colourspace = -1;
};

bool readHeader(void* handle, const QByteArray& jpeg, Header* header)
{
    return !jpeg.isEmpty() &&
           tjDecompressHeader3(handle, bytes(jpeg), static_cast<unsigned long>(jpeg.size()), &header->width,
                               &header->height, &header->subsampling, &header->colourspace) == 0 &&
           header->width > 0 && header->height > 0;
}

// One marker segment of the header: where it starts (at its 0xFF) and how
// long it is with its marker and length bytes.
struct Segment
{
    int start = 0;
    int length = 0;
    uchar marker = 0;
};

// The segments from just after SOI up to the first one that is not a plain
// marker segment (the scan, or bytes that make no sense).
QList<Segment> headerSegments(const QByteArray& jpeg)
{
    QList<Segment> segments;
    if (jpeg.size() < 4 || uchar(jpeg.at(0)) != 0xFF || uchar(jpeg.at(1)) != 0xD8)
        return segments;
    int at = 2;
    while (at + 4 <= jpeg.size() && uchar(jpeg.at(at)) == 0xFF) {
        const uchar marker = uchar(jpeg.at(at + 1));
        if (marker == 0xDA || marker == 0xD9 || marker == 0xFF || marker == 0x00)
            break;
        const int length = (uchar(jpeg.at(at + 2)) << 8) | uchar(jpeg.at(at + 3));
        if (length < 2 || at + 2 + length > jpeg.size())
            break;
        segments.append({at, 2 + length, marker});
        at += 2 + length;
    }
    return segments;
}

const char kIccTag[] = "ICC_PROFILE"; // and its NUL: 12 bytes
const int kIccHeader = 4 + 12 + 2;    // marker, length, tag, sequence number, count

// The APP2 segments that carry the ICC profile, whole, by sequence number.
QMap<int, QByteArray> iccSegments(const QByteArray& jpeg)
{
    QMap<int, QByteArray> parts;
    for (const Segment& segment : headerSegments(jpeg)) {
        if (segment.marker != 0xE2 || segment.length < kIccHeader)
            continue;
        const QByteArray whole = jpeg.mid(segment.start, segment.length);
        if (!whole.mid(4).startsWith(QByteArray(kIccTag, sizeof kIccTag)))
            continue;
        parts.insert(uchar(whole.at(4 + 12)), whole);
    }
    return parts;
}

// The JPEG with the segments put in after SOI and any APP0 (JFIF) segment
// that follows it, where readers look for them.
QByteArray withSegments(const unsigned char* jpeg, unsigned long size, const QList<QByteArray>& segments)
{
    const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(jpeg), int(size));
    int at = 2;
    for (const Segment& segment : headerSegments(data)) {
        if (segment.marker != 0xE0)
            break;
        at = segment.start + segment.length;
    }
    QByteArray result;
    int extra = 0;
    for (const QByteArray& segment : segments)
        extra += segment.size();
    result.reserve(int(size) + extra);
    result.append(data.constData(), at);
    for (const QByteArray& segment : segments)
        result.append(segment);
    result.append(data.constData() + at, int(size) - at);
    return result;
}

int turnFor(int orientation)
{
    switch (orientation) {
    case 3:
        return TJXOP_ROT180;
    case 6:
        return TJXOP_ROT90;
    case 8:
        return TJXOP_ROT270;
    default:
        return -1;
    }
}

} // namespace

QByteArray JpegCodec::turnUpright(const QByteArray& jpeg, int orientation)
{
    const int op = turnFor(orientation);
    if (op < 0 || jpeg.isEmpty())
        return QByteArray();
    Handle handle(tjInitTransform());
    if (!handle)
        return QByteArray();
    tjtransform transform{};
    transform.op = op;
    // Only a perfect turn: an edge of partial blocks would stay where it was.
    // No markers are copied, so no orientation tag either; the colour
    // profile is put back below.
    transform.options = TJXOPT_PERFECT | TJXOPT_COPYNONE;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    // A warning (a damaged or cut-off photo) counts as failure too: the
    // decode that follows handles such a photo the way it always has.
    const int status = tjTransform(handle.get(), bytes(jpeg), static_cast<unsigned long>(jpeg.size()), 1,
                                   &out, &outSize, &transform, 0);
    QByteArray result;
    if (status == 0 && out && outSize > 4)
        result = withSegments(out, outSize, iccSegments(jpeg).values());
    tjFree(out);
    return result;
}

qint64 JpegCodec::turnFootprint(const QByteArray& jpeg)
{
    Handle handle(tjInitDecompress());
    Header header;
    if (!handle || !readHeader(handle.get(), jpeg, &header))
        return 0;
    const bool knownSampling = header.subsampling >= 0 && header.subsampling < TJ_NUMSAMP;
    const int mcuWidth = knownSampling ? tjMCUWidth[header.subsampling] : 8;
    const int mcuHeight = knownSampling ? tjMCUHeight[header.subsampling] : 8;
    const qint64 mcus =
        qint64((header.width + mcuWidth - 1) / mcuWidth) * ((header.height + mcuHeight - 1) / mcuHeight);
    const qint64 lumaBlocks = mcus * (mcuWidth / 8) * (mcuHeight / 8);
    qint64 blocks = lumaBlocks;
    if (header.subsampling != TJSAMP_GRAY)
        blocks += 2 * (knownSampling ? mcus : lumaBlocks);
    if (header.colourspace == TJCS_CMYK || header.colourspace == TJCS_YCCK)
        blocks += lumaBlocks;
    // 64 coefficients of two bytes a block, read and turned.
    return blocks * 64 * 2 * 2;
}

QImage JpegCodec::decodeCovering(const QByteArray& jpeg, const QSize& atLeast)
{
    Handle handle(tjInitDecompress());
    Header header;
    if (!handle || !readHeader(handle.get(), jpeg, &header))
        return QImage();
    const bool grey = header.colourspace == TJCS_GRAY;
    if (!grey && header.colourspace != TJCS_RGB && header.colourspace != TJCS_YCbCr)
        return QImage();

    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    int width = header.width;
    int height = header.height;
    for (int i = 0; factors && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom)
            continue; // the decoder's enlargements: left to the smooth scaling after
        const int w = TJSCALED(header.width, f);
        const int h = TJSCALED(header.height, f);
        if (w >= atLeast.width() && h >= atLeast.height() && qint64(w) * h < qint64(width) * height) {
            width = w;
            height = h;
        }
    }

    QImage image(width, height, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    // RGB32 is 0xffRRGGBB in native order; the decoder fills the alpha byte.
    const int format = grey ? TJPF_GRAY : (Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TJPF_BGRA : TJPF_ARGB);
    if (tjDecompress2(handle.get(), bytes(jpeg), static_cast<unsigned long>(jpeg.size()), image.bits(), width,
                      image.bytesPerLine(), height, format, 0) != 0 &&
        tjGetErrorCode(handle.get()) != TJERR_WARNING)
        return QImage();
    const QByteArray icc = iccProfile(jpeg);
    if (!icc.isEmpty())
        image.setColorSpace(QColorSpace::fromIccProfile(icc));
    return image;
}

QByteArray JpegCodec::iccProfile(const QByteArray& jpeg)
{
    QByteArray profile;
    for (const QByteArray& segment : iccSegments(jpeg))
        profile.append(segment.constData() + kIccHeader, segment.size() - kIccHeader);
    return profile;
}
