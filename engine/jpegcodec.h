#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <functional>

// JPEG work done below the pixels, on libjpeg-turbo: turning a photo
// upright in the compressed domain (on libjpeg's coefficient interface, or
// TurboJPEG's transform), and decoding it at a reduced scale (TurboJPEG).
// Every function is reentrant (each call has its own decoder and encoder)
// and answers "cannot" with an empty result, so callers fall back to
// decoding through Qt.
namespace JpegCodec {

// The photo turned upright without re-encoding, for orientation 2 to 8
// (mirrored, turned or both, as a viewer shows it): the camera's own
// coefficients moved, so nothing is lost and the size stays the camera's.
// The result keeps the source's ICC profile and its Exif segment, patched
// in place (every orientation entry 1, the pixel sizes swapped where width
// and height change places, the link to the camera's unturned thumbnail
// cut), and no other metadata. Empty when the bytes are not a JPEG the
// library reads, for any other orientation, where the transform would have
// to move a partial block at the photo's right or bottom edge (a width or
// height that is not a whole number of blocks), which only a re-encode can
// do, and where the turned coefficients hold values the standard Huffman
// tables cannot code (a damaged photo decoded past: written, they would be
// bits a decoder reads as other blocks).
// A grey or YCbCr photo of whole MCUs is turned holding its coefficients
// once, the turned blocks made band by band as they are written; any other
// is turned by TurboJPEG's transform, which holds them twice.
QByteArray turnUpright(const QByteArray& jpeg, int orientation);

// The coefficient turn of turnUpright with its bytes handed to sink as they
// are made (the sink answers false when it cannot take them), so the turned
// photo is never held whole. Declined where the photo needs TurboJPEG's
// transform (turnUpright then does it); Damaged for a photo that cannot be
// turned (a wrong orientation, bytes that are no JPEG, a cut-off photo,
// values the standard tables cannot code), SinkFailed when the sink
// refused. A sink may have taken part of the bytes before anything but
// Done.
using Sink = std::function<bool(const char* data, size_t size)>;
enum class Streamed
{
    Done,
    Declined,
    Damaged,
    SinkFailed
};
Streamed turnUprightInto(const QByteArray& jpeg, int orientation, const Sink& sink);

// A photo turned upright another way (decoded, turned and encoded again
// into the JPEG encoded) with the camera's metadata turnUpright keeps: the
// source's Exif segment patched as it patches it, put in after the JFIF
// header. encoded as it is when the source has no Exif segment the patch
// can set.
QByteArray withUprightExif(const QByteArray& encoded, const QByteArray& source, int orientation);

// Bytes of memory turnUpright needs for the photo's coefficients (once or
// twice, as above); 0 when the bytes are not a JPEG.
qint64 turnFootprint(const QByteArray& jpeg);

// The photo decoded as stored (no orientation applied) at the smallest of
// the decoder's scales (1/8, 2/8 ... 8/8) whose image still covers atLeast
// on both sides; the whole photo when none is that small. The ICC profile,
// if any, becomes the image's colour space. Null when the bytes are not a
// JPEG the library decodes to RGB or grey (CMYK, for one). warned, when
// given, tells whether the decoder met damaged data it decoded past;
// declined, whether the decoder does not take the header or the colour
// space (CMYK and YCCK, a sampling it does not know such as the 1x4 of a
// turned 4:1:1 photo, or no JPEG at all), which is not damage.
QImage decodeCovering(const QByteArray& jpeg, const QSize& atLeast, bool* warned = nullptr,
                      bool* declined = nullptr);

// Whether libjpeg decodes the whole photo, to its end, without a warning:
// the judge of a JPEG that decodeCovering declines. Its pixels are not
// kept.
bool decodesCleanly(const QByteArray& jpeg);

// The ICC profile carried in the JPEG's APP2 segments; empty when none.
QByteArray iccProfile(const QByteArray& jpeg);

} // namespace JpegCodec
