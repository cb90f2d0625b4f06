#include "jpegcodec.h"

#include <QColorSpace>
#include <QList>
#include <QMap>

#include <turbojpeg.h>

// libjpeg after the standard headers it needs.
#include <cstdio>
#include <jpeglib.h>
// after jpeglib.h, which it needs
#include <jerror.h>

#include <csetjmp>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <sys/mman.h>
#include <cstdlib>
#include <memory>
#include <vector>

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

const char kExifTag[] = "Exif\0"; // and its NUL: "Exif" and two NULs
const int kExifHeader = 4 + 6;    // marker, length, tag; the TIFF structure follows
const quint16 kOrientation = 0x0112;
const quint16 kImageWidth = 0x0100;
const quint16 kImageLength = 0x0101;
const quint16 kExifIfd = 0x8769;
const quint16 kPixelXDimension = 0xA002;
const quint16 kPixelYDimension = 0xA003;

// The numbers of the TIFF structure in an Exif segment, read and written
// in the structure's own byte order, in place; every access is checked
// against the segment's end.
class ExifBytes
{
public:
    explicit ExifBytes(QByteArray& segment) : m_data(segment)
    {
        // The header: byte order, 42, the offset of IFD0.
        if (!at(kExifHeader, 8))
            return;
        const QByteArray order = m_data.mid(kExifHeader, 2);
        m_big = order == "MM";
        m_valid = (m_big || order == "II") && get(kExifHeader + 2, 2) == 42;
    }

    bool isValid() const { return m_valid; }

    // One entry of an IFD: where it starts in the segment, and its fields.
    struct Entry
    {
        qint64 start = -1;
        quint32 type = 0;
        quint32 count = 0;
        qint64 value() const { return start + 8; } // the value, or its offset, when it fits in 4 bytes
    };

    // The entries of the IFD at offset (from the TIFF header) by tag (a
    // repeated tag has each of its entries; value() gives the last), and
    // where its link to the next IFD is; false when it does not fit.
    bool readIfd(quint32 offset, QMultiMap<quint16, Entry>* entries, qint64* link) const
    {
        const qint64 start = qint64(kExifHeader) + offset;
        if (!at(start, 2))
            return false;
        const qint64 count = get(start, 2);
        *link = start + 2 + 12 * count;
        if (!at(*link, 4))
            return false;
        for (qint64 i = 0; i < count; ++i) {
            const qint64 entry = start + 2 + 12 * i;
            entries->insert(quint16(get(entry, 2)), {entry, get(entry + 2, 2), get(entry + 4, 4)});
        }
        return true;
    }

    quint32 get(qint64 offset, int size) const
    {
        quint32 value = 0;
        for (int i = 0; i < size; ++i)
            value |= quint32(uchar(m_data.at(int(offset) + i))) << (8 * (m_big ? size - 1 - i : i));
        return value;
    }

    void put(qint64 offset, int size, quint32 value)
    {
        for (int i = 0; i < size; ++i)
            m_data[int(offset) + (m_big ? size - 1 - i : i)] = char((value >> (8 * i)) & 0xff);
    }

    // The values of two single-valued entries of one type change places.
    void swapValues(const QMultiMap<quint16, Entry>& entries, quint16 a, quint16 b)
    {
        if (!entries.contains(a) || !entries.contains(b))
            return;
        const Entry first = entries.value(a);
        const Entry second = entries.value(b);
        if (first.type != second.type || first.count != 1 || second.count != 1)
            return;
        const quint32 value = get(first.value(), 4);
        put(first.value(), 4, get(second.value(), 4));
        put(second.value(), 4, value);
    }

    bool at(qint64 offset, int size) const { return offset >= 0 && offset + size <= m_data.size(); }

private:
    QByteArray& m_data;
    bool m_big = false;
    bool m_valid = false;
};

// The source's Exif segment for its copy turned by orientation, patched in
// place and never written anew, so offsets into it (a maker's notes) hold:
// the orientation 1, the pixel sizes swapped where width and height change
// places, and IFD0's link to IFD1 cut, so that no viewer shows the camera's
// unturned thumbnail. Every orientation entry of IFD0 is set, as readers
// differ in which of a repeated tag they take. Empty when the photo has no
// Exif segment or an orientation entry of its IFD0 is not one this can set.
QByteArray uprightExif(const QByteArray& jpeg, int orientation)
{
    for (const Segment& segment : headerSegments(jpeg)) {
        if (segment.marker != 0xE1 || jpeg.mid(segment.start + 4, 6) != QByteArray(kExifTag, 6))
            continue;
        QByteArray exif = jpeg.mid(segment.start, segment.length);
        ExifBytes bytes(exif);
        QMultiMap<quint16, ExifBytes::Entry> ifd0;
        qint64 link = 0;
        if (!bytes.isValid() || !bytes.readIfd(bytes.get(kExifHeader + 4, 4), &ifd0, &link))
            return QByteArray();
        const QList<ExifBytes::Entry> tags = ifd0.values(kOrientation);
        if (tags.isEmpty())
            return QByteArray();
        for (const ExifBytes::Entry& tag : tags) {
            if (tag.type != 3 || tag.count != 1)
                return QByteArray();
        }
        for (const ExifBytes::Entry& tag : tags)
            bytes.put(tag.value(), 2, 1);
        bytes.put(link, 4, 0);
        if (orientation >= 5) {
            bytes.swapValues(ifd0, kImageWidth, kImageLength);
            const ExifBytes::Entry pointer = ifd0.value(kExifIfd);
            QMultiMap<quint16, ExifBytes::Entry> exifIfd;
            qint64 exifLink = 0;
            if (pointer.start >= 0 && (pointer.type == 4 || pointer.type == 13) && pointer.count == 1 &&
                bytes.readIfd(bytes.get(pointer.value(), 4), &exifIfd, &exifLink))
                bytes.swapValues(exifIfd, kPixelXDimension, kPixelYDimension);
        }
        return exif;
    }
    return QByteArray();
}

// The segments a turned copy keeps from its source, whole: the camera's
// metadata made upright, then the colour profile. Comments and XMP stay
// behind.
QList<QByteArray> keptSegments(const QByteArray& jpeg, int orientation)
{
    QList<QByteArray> kept;
    const QByteArray exif = uprightExif(jpeg, orientation);
    if (!exif.isEmpty())
        kept.append(exif);
    kept.append(iccSegments(jpeg).values());
    return kept;
}

// ---- The turn on libjpeg's coefficient interface ----
//
// The source's coefficients are read once; the compressor is handed, for
// each component, a stand-in for its coefficient array whose rows are made
// from the source's blocks as it asks for them, band by band. So a turn
// holds the photo's coefficients once, not twice (read and turned).

struct ErrorManager
{
    jpeg_error_mgr manager;
    jmp_buf jump;
    bool warned = false;
};

void failWithJump(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void noteMessage(j_common_ptr cinfo, int level)
{
    // A warning (a damaged or cut-off photo) fails the turn, as it does
    // through TurboJPEG.
    if (level < 0)
        reinterpret_cast<ErrorManager*>(cinfo->err)->warned = true;
}

// Whether one component of a turned photo holds only values the standard
// Huffman tables of a baseline JPEG code, which the turned copy is written
// with: AC coefficients of up to 10 bits, and differences of up to 11 bits
// between the DC values of the component's successive blocks (the check
// libjpeg's optimizing pass makes). A damaged photo decoded past, coded
// with tables of its own, can hold more, and the encoder writes them
// unchecked, as bits a decoder then reads as other blocks, often without a
// warning. The blocks are taken a row at a time from the top; the DC
// values follow one another in the scan's order, an MCU's blocks row by row
// and MCU after MCU (a component alone in its scan has MCUs of one block).
class StandardTablesCheck
{
public:
    StandardTablesCheck() = default;
    StandardTablesCheck(int mcuWidth, int mcuHeight) : m_mcuWidth(mcuWidth), m_mcuHeight(mcuHeight) {}

    // The component's size in blocks; rows past its height (the padding of
    // the last MCU row) are not written and not taken.
    void setSize(int width, int height)
    {
        m_width = width;
        m_height = height;
    }

    // Takes the row of blocks if it is the next one; false from the first
    // value out of range on.
    bool take(int row, const JCOEF* blocks)
    {
        if (!m_holds || row != m_taken || row >= m_height)
            return m_holds;
        ++m_taken;
        // Most rows: every coefficient within the AC range, DC included.
        JCOEF low = 0;
        JCOEF high = 0;
        for (int b = 0; b < m_width; ++b) {
            const JCOEF* block = blocks + size_t(b) * DCTSIZE2;
            for (int k = 0; k < DCTSIZE2; ++k) {
                low = std::min(low, block[k]);
                high = std::max(high, block[k]);
            }
        }
        if (low < -kMaxAc || high > kMaxAc) {
            for (int b = 0; b < m_width && m_holds; ++b) {
                const JCOEF* block = blocks + size_t(b) * DCTSIZE2;
                for (int k = 1; k < DCTSIZE2; ++k) {
                    if (block[k] < -kMaxAc || block[k] > kMaxAc)
                        m_holds = false;
                }
            }
        }
        for (int b = 0; b < m_width; ++b)
            m_dc.push_back(blocks[size_t(b) * DCTSIZE2]);
        if (m_taken % m_mcuHeight == 0 || m_taken == m_height)
            takeMcuRow();
        return m_holds;
    }

    bool holds() const { return m_holds; }

private:
    void takeMcuRow()
    {
        const int rows = m_width > 0 ? int(m_dc.size()) / m_width : 0;
        for (int column = 0; column < m_width; column += m_mcuWidth) {
            for (int row = 0; row < rows; ++row) {
                for (int x = column; x < std::min(column + m_mcuWidth, m_width); ++x) {
                    const int dc = m_dc[size_t(row) * size_t(m_width) + size_t(x)];
                    if (std::abs(dc - m_lastDc) > kMaxDcDifference)
                        m_holds = false;
                    m_lastDc = dc;
                }
            }
        }
        m_dc.clear();
    }

    static constexpr JCOEF kMaxAc = 1023;         // 10 bits
    static constexpr int kMaxDcDifference = 2047; // 11 bits
    int m_mcuWidth = 1;
    int m_mcuHeight = 1;
    int m_width = 0;
    int m_height = 0;
    int m_taken = 0;
    int m_lastDc = 0; // the scan starts from 0 (no restart markers are written)
    bool m_holds = true;
    std::vector<JCOEF> m_dc; // the DC values of the MCU row being taken
};

// One component of the turned photo. The compressor takes it for its
// coefficient array and asks it for rows, a few at a time, in order.
struct TurnedComponent
{
    std::vector<JBLOCKROW> sourceRows; // the source's block rows
    int sourceWidth = 0;               // in blocks
    int sourceHeight = 0;
    int width = 0; // turned, in blocks
    int height = 0;
    int orientation = 1;

    // Made rows: a band of kBandRows rows from bandStart, and the row
    // pointers handed out last.
    std::vector<JCOEF> band;
    std::vector<JBLOCKROW> bandRows;
    int bandStart = -1;
    int bandCount = 0;
    std::vector<JBLOCKROW> handed;
    StandardTablesCheck check;

    // The block at (row, column) of the turned component, from the source
    // block it comes from. A mirror left to right changes the sign of the
    // block's odd horizontal frequencies, one top to bottom that of its odd
    // vertical ones; a transform that swaps width and height transposes the
    // block first. A quarter turn is a transpose and one mirror, half a turn
    // both mirrors.
    void make(int row, int column, JCOEF* out) const
    {
        const int lastRow = sourceHeight - 1;
        const int lastColumn = sourceWidth - 1;
        switch (orientation) {
        case 2: // mirrored left to right
            turnBlock(sourceRows[size_t(row)][lastColumn - column], out, false, true, false);
            return;
        case 3: // half a turn
            turnBlock(sourceRows[size_t(lastRow - row)][lastColumn - column], out, false, true, true);
            return;
        case 4: // mirrored top to bottom
            turnBlock(sourceRows[size_t(lastRow - row)][column], out, false, false, true);
            return;
        case 5: // mirrored across the diagonal from the top left
            turnBlock(sourceRows[size_t(column)][row], out, true, false, false);
            return;
        case 6: // a quarter turn clockwise
            turnBlock(sourceRows[size_t(lastRow - column)][row], out, true, true, false);
            return;
        case 7: // mirrored across the diagonal from the top right
            turnBlock(sourceRows[size_t(lastRow - column)][lastColumn - row], out, true, true, true);
            return;
        default: // 8, a quarter turn anticlockwise
            turnBlock(sourceRows[size_t(column)][lastColumn - row], out, true, false, true);
            return;
        }
    }

    // Width and height change places (orientations 5 to 8).
    bool transposes() const { return orientation >= 5; }

    // out = in, transposed or not, with the odd columns (oddColumns) and
    // the odd rows (oddRows) of out changing sign.
    static void turnBlock(const JCOEF* in, JCOEF* out, bool transpose, bool oddColumns, bool oddRows)
    {
#if defined(__SSE2__)
        static_assert(sizeof(JCOEF) == 2, "16-bit coefficients");
        __m128i r[DCTSIZE];
        for (int i = 0; i < DCTSIZE; ++i)
            r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * DCTSIZE));
        if (transpose) {
            const __m128i t0 = _mm_unpacklo_epi16(r[0], r[1]), t1 = _mm_unpackhi_epi16(r[0], r[1]);
            const __m128i t2 = _mm_unpacklo_epi16(r[2], r[3]), t3 = _mm_unpackhi_epi16(r[2], r[3]);
            const __m128i t4 = _mm_unpacklo_epi16(r[4], r[5]), t5 = _mm_unpackhi_epi16(r[4], r[5]);
            const __m128i t6 = _mm_unpacklo_epi16(r[6], r[7]), t7 = _mm_unpackhi_epi16(r[6], r[7]);
            const __m128i u0 = _mm_unpacklo_epi32(t0, t2), u1 = _mm_unpackhi_epi32(t0, t2);
            const __m128i u2 = _mm_unpacklo_epi32(t1, t3), u3 = _mm_unpackhi_epi32(t1, t3);
            const __m128i u4 = _mm_unpacklo_epi32(t4, t6), u5 = _mm_unpackhi_epi32(t4, t6);
            const __m128i u6 = _mm_unpacklo_epi32(t5, t7), u7 = _mm_unpackhi_epi32(t5, t7);
            r[0] = _mm_unpacklo_epi64(u0, u4);
            r[1] = _mm_unpackhi_epi64(u0, u4);
            r[2] = _mm_unpacklo_epi64(u1, u5);
            r[3] = _mm_unpackhi_epi64(u1, u5);
            r[4] = _mm_unpacklo_epi64(u2, u6);
            r[5] = _mm_unpackhi_epi64(u2, u6);
            r[6] = _mm_unpacklo_epi64(u3, u7);
            r[7] = _mm_unpackhi_epi64(u3, u7);
        }
        // x changes sign where the mask is all ones: (x ^ m) - m.
        const __m128i columns = oddColumns ? _mm_set_epi16(-1, 0, -1, 0, -1, 0, -1, 0) : _mm_setzero_si128();
        const __m128i everything = _mm_set1_epi16(-1);
        for (int i = 0; i < DCTSIZE; ++i) {
            const __m128i mask = (oddRows && (i & 1)) ? _mm_xor_si128(columns, everything) : columns;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * DCTSIZE),
                             _mm_sub_epi16(_mm_xor_si128(r[i], mask), mask));
        }
#else
        for (int v = 0; v < DCTSIZE; ++v) {
            for (int u = 0; u < DCTSIZE; ++u) {
                const JCOEF x = transpose ? in[u * DCTSIZE + v] : in[v * DCTSIZE + u];
                const bool negate = ((oddColumns && (u & 1)) != (oddRows && (v & 1)));
                out[v * DCTSIZE + u] = negate ? JCOEF(-x) : x;
            }
        }
#endif
    }

    JBLOCKARRAY rows(JDIMENSION start, JDIMENSION count)
    {
        const int first = int(start);
        const int wanted = int(count);
        if (bandStart < 0 || first < bandStart || first + wanted > bandStart + bandCount) {
            const int made = qMax(wanted, qMin(kBandRows, height - first));
            band.resize(size_t(made) * size_t(width) * DCTSIZE2);
            bandRows.resize(size_t(made));
            for (int r = 0; r < made; ++r)
                bandRows[size_t(r)] = reinterpret_cast<JBLOCKROW>(&band[size_t(r) * size_t(width) * DCTSIZE2]);
            // Column by column where width and height change places: each
            // source row is then read a band's width at a time.
            if (!transposes()) {
                for (int r = 0; r < made; ++r)
                    for (int c = 0; c < width; ++c)
                        make(first + r, c, bandRows[size_t(r)][c]);
            } else {
                for (int c = 0; c < width; ++c)
                    for (int r = 0; r < made; ++r)
                        make(first + r, c, bandRows[size_t(r)][c]);
            }
            bandStart = first;
            bandCount = made;
        }
        handed.assign(bandRows.begin() + (first - bandStart), bandRows.begin() + (first - bandStart + wanted));
        for (int r = 0; r < wanted; ++r)
            check.take(first + r, handed[size_t(r)][0]);
        return handed.data();
    }

    static constexpr int kBandRows = 8;
};

struct TurnJob
{
    std::vector<TurnedComponent> components;
    JBLOCKARRAY (*delegate)(j_common_ptr, jvirt_barray_ptr, JDIMENSION, JDIMENSION, boolean) = nullptr;
};

JBLOCKARRAY turnedRows(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION start, JDIMENSION count,
                       boolean writable)
{
    auto* job = static_cast<TurnJob*>(cinfo->client_data);
    for (TurnedComponent& component : job->components) {
        if (reinterpret_cast<jvirt_barray_ptr>(&component) != array)
            continue;
        JBLOCKARRAY rows = component.rows(start, count);
        if (!component.check.holds()) {
            cinfo->err->msg_code = JERR_BAD_DCT_COEF;
            (*cinfo->err->error_exit)(cinfo);
        }
        return rows;
    }
    return job->delegate(cinfo, array, start, count, writable);
}

// The source's header tells whether the coefficient turn serves it: 8-bit
// grey or YCbCr, a width and height of whole MCUs (so every block moves
// whole, and the turn is perfect).
bool coefficientTurnServes(const jpeg_decompress_struct& source)
{
    if (source.data_precision != 8 || source.num_components < 1 || source.num_components > 3)
        return false;
    if (source.jpeg_color_space != JCS_YCbCr && source.jpeg_color_space != JCS_GRAYSCALE)
        return false;
    const unsigned mcuWidth = unsigned(source.max_h_samp_factor) * DCTSIZE;
    const unsigned mcuHeight = unsigned(source.max_v_samp_factor) * DCTSIZE;
    return source.image_width % mcuWidth == 0 && source.image_height % mcuHeight == 0;
}

// size bytes of zeroed memory of its own, in huge pages where the system
// gives them (fewer page faults and TLB misses for a photo's worth of
// data); null when there is no memory. Returned with munmap.
void* mapInHugePages(size_t size)
{
    void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    ::madvise(memory, size, MADV_HUGEPAGE);
    return memory;
}

// The source's coefficient arrays in memory of their own, in huge pages
// where the system gives them: a camera photo's coefficients then cost a
// few dozen page faults instead of tens of thousands each time one is read,
// and the turn walks them with few TLB misses. The decompressor's memory
// manager is asked for them as usual; these hooks answer instead.
struct SourceArray
{
    JDIMENSION blocksPerRow = 0;
    JDIMENSION rows = 0;
    void* memory = nullptr;
    size_t size = 0;
    std::vector<JBLOCKROW> rowPointers;
};

struct SourceMemory
{
    std::vector<std::unique_ptr<SourceArray>> arrays;
    jvirt_barray_ptr (*request)(j_common_ptr, int, boolean, JDIMENSION, JDIMENSION, JDIMENSION) = nullptr;
    void (*realize)(j_common_ptr) = nullptr;
    JBLOCKARRAY (*access)(j_common_ptr, jvirt_barray_ptr, JDIMENSION, JDIMENSION, boolean) = nullptr;

    ~SourceMemory()
    {
        for (const auto& array : arrays) {
            if (array->memory)
                ::munmap(array->memory, array->size);
        }
    }

    static SourceMemory* of(j_common_ptr cinfo) { return static_cast<SourceMemory*>(cinfo->client_data); }

    SourceArray* find(jvirt_barray_ptr pointer) const
    {
        for (const auto& array : arrays) {
            if (reinterpret_cast<jvirt_barray_ptr>(array.get()) == pointer)
                return array.get();
        }
        return nullptr;
    }

    static void fail(j_common_ptr cinfo, int code)
    {
        cinfo->err->msg_code = code;
        (*cinfo->err->error_exit)(cinfo);
    }

    static jvirt_barray_ptr requestArray(j_common_ptr cinfo, int pool, boolean preZero,
                                         JDIMENSION blocksPerRow, JDIMENSION rows, JDIMENSION maxAccess)
    {
        SourceMemory* memory = of(cinfo);
        if (pool != JPOOL_IMAGE)
            return memory->request(cinfo, pool, preZero, blocksPerRow, rows, maxAccess);
        // Fresh mappings read as zeros, as a pre-zeroed array must.
        memory->arrays.push_back(std::make_unique<SourceArray>());
        memory->arrays.back()->blocksPerRow = blocksPerRow;
        memory->arrays.back()->rows = rows;
        return reinterpret_cast<jvirt_barray_ptr>(memory->arrays.back().get());
    }

    static void realizeArrays(j_common_ptr cinfo)
    {
        SourceMemory* memory = of(cinfo);
        for (const auto& array : memory->arrays) {
            if (array->memory)
                continue;
            array->size = size_t(array->blocksPerRow) * size_t(array->rows) * sizeof(JBLOCK);
            if (array->size == 0)
                fail(cinfo, JERR_BAD_VIRTUAL_ACCESS);
            void* mapped = mapInHugePages(array->size);
            if (!mapped)
                fail(cinfo, JERR_OUT_OF_MEMORY);
            array->memory = mapped;
            array->rowPointers.resize(array->rows);
            for (JDIMENSION row = 0; row < array->rows; ++row) {
                array->rowPointers[row] = reinterpret_cast<JBLOCKROW>(static_cast<JBLOCK*>(mapped) +
                                                                      size_t(row) * array->blocksPerRow);
            }
        }
        memory->realize(cinfo);
    }

    static JBLOCKARRAY accessArray(j_common_ptr cinfo, jvirt_barray_ptr pointer, JDIMENSION start,
                                   JDIMENSION count, boolean writable)
    {
        SourceMemory* memory = of(cinfo);
        SourceArray* array = memory->find(pointer);
        if (!array)
            return memory->access(cinfo, pointer, start, count, writable);
        if (!array->memory || start + count > array->rows || start + count < start)
            fail(cinfo, JERR_BAD_VIRTUAL_ACCESS);
        return &array->rowPointers[start];
    }

    void install(jpeg_decompress_struct* source)
    {
        request = source->mem->request_virt_barray;
        realize = source->mem->realize_virt_arrays;
        access = source->mem->access_virt_barray;
        source->mem->request_virt_barray = requestArray;
        source->mem->realize_virt_arrays = realizeArrays;
        source->mem->access_virt_barray = accessArray;
        source->client_data = this;
    }
};

// The compressor's destination: the turned photo's bytes go to the sink a
// block at a time, so no copy of the whole photo is held.
struct SinkDestination
{
    jpeg_destination_mgr manager{}; // first: the compressor sees only this
    const JpegCodec::Sink* sink = nullptr;
    std::vector<JOCTET> buffer;
    bool sinkFailed = false;

    static SinkDestination* of(j_compress_ptr cinfo)
    {
        return reinterpret_cast<SinkDestination*>(cinfo->dest);
    }

    static void start(j_compress_ptr cinfo)
    {
        SinkDestination* destination = of(cinfo);
        destination->manager.next_output_byte = destination->buffer.data();
        destination->manager.free_in_buffer = destination->buffer.size();
    }

    static void hand(j_compress_ptr cinfo, size_t size)
    {
        SinkDestination* destination = of(cinfo);
        if (size > 0 &&
            !(*destination->sink)(reinterpret_cast<const char*>(destination->buffer.data()), size)) {
            destination->sinkFailed = true;
            cinfo->err->msg_code = JERR_FILE_WRITE;
            (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
        }
    }

    static boolean full(j_compress_ptr cinfo)
    {
        hand(cinfo, of(cinfo)->buffer.size());
        start(cinfo);
        return TRUE;
    }

    static void finish(j_compress_ptr cinfo)
    {
        SinkDestination* destination = of(cinfo);
        hand(cinfo, destination->buffer.size() - destination->manager.free_in_buffer);
    }

    void install(jpeg_compress_struct* target, const JpegCodec::Sink& to)
    {
        sink = &to;
        buffer.resize(256 * 1024);
        manager.init_destination = start;
        manager.empty_output_buffer = full;
        manager.term_destination = finish;
        target->dest = &manager;
    }
};

// Everything the turn creates, released on every way out of it (a libjpeg
// error jumps back to turnCoefficients, past no C++ frame).
struct CoefficientTurn
{
    jpeg_decompress_struct source{};
    jpeg_compress_struct target{};
    ErrorManager errors;
    // Its mappings go after the destructor body has destroyed both objects.
    SourceMemory sourceMemory;
    TurnJob job;
    std::vector<jvirt_barray_ptr> arrays; // the compressor's stand-ins, the job's components
    SinkDestination destination;
    bool sourceMade = false;
    bool targetMade = false;

    ~CoefficientTurn()
    {
        if (targetMade)
            jpeg_destroy_compress(&target);
        if (sourceMade)
            jpeg_destroy_decompress(&source);
    }
};

// The coefficient turn, its bytes handed to the sink.
JpegCodec::Streamed turnCoefficients(const QByteArray& jpeg, int orientation, const JpegCodec::Sink& sink)
{
    CoefficientTurn turn;
    turn.source.err = jpeg_std_error(&turn.errors.manager);
    turn.errors.manager.error_exit = failWithJump;
    turn.errors.manager.emit_message = noteMessage;
    turn.target.err = &turn.errors.manager;
    if (setjmp(turn.errors.jump))
        return turn.destination.sinkFailed ? JpegCodec::Streamed::SinkFailed : JpegCodec::Streamed::Damaged;

    jpeg_create_decompress(&turn.source);
    turn.sourceMade = true;
    turn.sourceMemory.install(&turn.source);
    jpeg_mem_src(&turn.source, const_cast<unsigned char*>(bytes(jpeg)), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&turn.source, TRUE);
    if (!coefficientTurnServes(turn.source))
        return JpegCodec::Streamed::Declined;
    jvirt_barray_ptr* sourceArrays = jpeg_read_coefficients(&turn.source);
    if (turn.errors.warned)
        return JpegCodec::Streamed::Damaged;

    jpeg_create_compress(&turn.target);
    turn.targetMade = true;
    jpeg_copy_critical_parameters(&turn.source, &turn.target);
    const bool transposes = orientation >= 5;
    if (transposes) {
        std::swap(turn.target.image_width, turn.target.image_height);
        for (int q = 0; q < NUM_QUANT_TBLS; ++q) {
            JQUANT_TBL* table = turn.target.quant_tbl_ptrs[q];
            if (!table)
                continue;
            for (int i = 0; i < DCTSIZE; ++i)
                for (int j = i + 1; j < DCTSIZE; ++j)
                    std::swap(table->quantval[i * DCTSIZE + j], table->quantval[j * DCTSIZE + i]);
        }
    }
    turn.job.components.resize(size_t(turn.source.num_components));
    // One scan holds every component, in MCUs of each one's sampling.
    const bool interleaved = turn.source.num_components > 1;
    for (int ci = 0; ci < turn.source.num_components; ++ci) {
        const jpeg_component_info& from = turn.source.comp_info[ci];
        jpeg_component_info& to = turn.target.comp_info[ci];
        if (transposes)
            std::swap(to.h_samp_factor, to.v_samp_factor);
        TurnedComponent& component = turn.job.components[size_t(ci)];
        component.orientation = orientation;
        component.sourceWidth = int(from.width_in_blocks);
        component.sourceHeight = int(from.height_in_blocks);
        component.width = transposes ? component.sourceHeight : component.sourceWidth;
        component.height = transposes ? component.sourceWidth : component.sourceHeight;
        component.check =
            interleaved ? StandardTablesCheck(to.h_samp_factor, to.v_samp_factor) : StandardTablesCheck();
        component.check.setSize(component.width, component.height);
        component.sourceRows.reserve(size_t(component.sourceHeight));
        for (int row = 0; row < component.sourceHeight; ++row) {
            component.sourceRows.push_back(turn.source.mem->access_virt_barray(
                reinterpret_cast<j_common_ptr>(&turn.source), sourceArrays[ci], JDIMENSION(row), 1, FALSE)[0]);
        }
        turn.arrays.push_back(reinterpret_cast<jvirt_barray_ptr>(&component));
    }
    turn.job.delegate = turn.target.mem->access_virt_barray;
    turn.target.mem->access_virt_barray = turnedRows;
    turn.target.client_data = &turn.job;

    turn.destination.install(&turn.target, sink);
    jpeg_write_coefficients(&turn.target, turn.arrays.data());
    // The camera's metadata and the colour profile, where readers look for
    // them: after the JFIF header.
    for (const QByteArray& segment : keptSegments(jpeg, orientation)) {
        jpeg_write_marker(&turn.target, uchar(segment.at(1)),
                          reinterpret_cast<const JOCTET*>(segment.constData()) + 4,
                          unsigned(segment.size() - 4));
    }
    jpeg_finish_compress(&turn.target);
    jpeg_finish_decompress(&turn.source);
    return turn.errors.warned ? JpegCodec::Streamed::Damaged : JpegCodec::Streamed::Done;
}

void unmapPixels(void* info)
{
    const auto* region = static_cast<const std::pair<void*, size_t>*>(info);
    ::munmap(region->first, region->second);
    delete region;
}

// An image of the size in memory of its own (mapInHugePages): a photo's
// pixels then cost a few page faults, not thousands, each time one is
// decoded.
QImage pixelBuffer(int width, int height, QImage::Format format)
{
    const int depth = format == QImage::Format_Grayscale8 ? 1 : 4;
    const qsizetype bytesPerLine = qsizetype(width) * depth;
    const size_t size = size_t(bytesPerLine) * size_t(height);
    if (size < (4u << 20))
        return QImage(width, height, format);
    void* memory = mapInHugePages(size);
    if (!memory)
        return QImage(width, height, format);
    return QImage(static_cast<uchar*>(memory), width, height, bytesPerLine, format, unmapPixels,
                  new std::pair<void*, size_t>(memory, size));
}

int turnFor(int orientation)
{
    switch (orientation) {
    case 2:
        return TJXOP_HFLIP;
    case 3:
        return TJXOP_ROT180;
    case 4:
        return TJXOP_VFLIP;
    case 5:
        return TJXOP_TRANSPOSE;
    case 6:
        return TJXOP_ROT90;
    case 7:
        return TJXOP_TRANSVERSE;
    case 8:
        return TJXOP_ROT270;
    default:
        return -1;
    }
}

// A libjpeg decompressor reading the bytes, whose errors jump to the
// caller's setjmp on errors.jump and whose warnings are noted.
struct Decompressor
{
    jpeg_decompress_struct info{};
    ErrorManager errors;
    bool made = false;

    ~Decompressor()
    {
        if (made)
            jpeg_destroy_decompress(&info);
    }

    void start(const QByteArray& jpeg)
    {
        info.err = jpeg_std_error(&errors.manager);
        errors.manager.error_exit = failWithJump;
        errors.manager.emit_message = noteMessage;
        jpeg_create_decompress(&info);
        made = true;
        jpeg_mem_src(&info, const_cast<unsigned char*>(bytes(jpeg)), static_cast<unsigned long>(jpeg.size()));
    }
};

// The check of each component of the photo turned by orientation, in the
// MCUs of the turned photo's scan; false when the header cannot be read.
bool turnedChecks(const QByteArray& jpeg, int orientation, std::vector<StandardTablesCheck>* checks)
{
    Decompressor source;
    if (setjmp(source.errors.jump))
        return false;
    source.start(jpeg);
    jpeg_read_header(&source.info, TRUE);
    const bool interleaved = source.info.num_components > 1;
    const bool transposes = orientation >= 5;
    for (int ci = 0; ci < source.info.num_components; ++ci) {
        const jpeg_component_info& component = source.info.comp_info[ci];
        const int h = transposes ? component.v_samp_factor : component.h_samp_factor;
        const int v = transposes ? component.h_samp_factor : component.v_samp_factor;
        checks->push_back(interleaved ? StandardTablesCheck(h, v) : StandardTablesCheck());
    }
    return true;
}

// TurboJPEG's transform hands its turned coefficients here, a row of a
// component's blocks at a time, before it writes them; -1 stops it.
int checkStandardTables(short* coefficients, tjregion arrayRegion, tjregion planeRegion, int component,
                        int /*transformIndex*/, tjtransform* transform)
{
    auto* checks = static_cast<std::vector<StandardTablesCheck>*>(transform->data);
    // Whole rows, as the library hands them; any other layout is not judged,
    // so not used.
    if (component < 0 || size_t(component) >= checks->size() || arrayRegion.x != 0 ||
        arrayRegion.w != planeRegion.w)
        return -1;
    StandardTablesCheck& check = (*checks)[size_t(component)];
    check.setSize(planeRegion.w / DCTSIZE, planeRegion.h / DCTSIZE);
    const size_t rowSize = size_t(arrayRegion.w / DCTSIZE) * DCTSIZE2;
    for (int row = 0; row < arrayRegion.h / DCTSIZE; ++row)
        check.take(arrayRegion.y / DCTSIZE + row, coefficients + size_t(row) * rowSize);
    return check.holds() ? 0 : -1;
}

} // namespace

JpegCodec::Streamed JpegCodec::turnUprightInto(const QByteArray& jpeg, int orientation, const Sink& sink)
{
    if (turnFor(orientation) < 0 || jpeg.isEmpty())
        return Streamed::Damaged;
    return turnCoefficients(jpeg, orientation, sink);
}

QByteArray JpegCodec::turnUpright(const QByteArray& jpeg, int orientation)
{
    const int op = turnFor(orientation);
    if (op < 0 || jpeg.isEmpty())
        return QByteArray();
    QByteArray turned;
    turned.reserve(jpeg.size() + 65536);
    const Streamed outcome = turnUprightInto(jpeg, orientation, [&turned](const char* data, size_t size) {
        turned.append(data, int(size));
        return true;
    });
    if (outcome != Streamed::Declined)
        return outcome == Streamed::Done ? turned : QByteArray();

    // Any other perfect turn, on TurboJPEG's transform: it holds the
    // coefficients twice.
    Handle handle(tjInitTransform());
    if (!handle)
        return QByteArray();
    std::vector<StandardTablesCheck> checks;
    if (!turnedChecks(jpeg, orientation, &checks))
        return QByteArray();
    tjtransform transform{};
    transform.op = op;
    transform.customFilter = checkStandardTables;
    transform.data = &checks;
    // Only a perfect turn: an edge of partial blocks would stay where it was.
    // No markers are copied; the camera's metadata (made upright) and the
    // colour profile are put back below.
    transform.options = TJXOPT_PERFECT | TJXOPT_COPYNONE;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    // A warning (a damaged or cut-off photo) counts as failure too, as do
    // values the standard tables cannot code: the decode that follows
    // handles such a photo the way it always has.
    const int status = tjTransform(handle.get(), bytes(jpeg), static_cast<unsigned long>(jpeg.size()), 1,
                                   &out, &outSize, &transform, 0);
    QByteArray result;
    if (status == 0 && out && outSize > 4)
        result = withSegments(out, outSize, keptSegments(jpeg, orientation));
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
    // 64 coefficients of two bytes a block, held once where the turn moves
    // whole MCUs of grey or YCbCr, else twice (read and turned).
    const bool once = knownSampling &&
                      (header.colourspace == TJCS_YCbCr || header.colourspace == TJCS_GRAY) &&
                      header.width % mcuWidth == 0 && header.height % mcuHeight == 0;
    return blocks * 64 * 2 * (once ? 1 : 2);
}

QImage JpegCodec::decodeCovering(const QByteArray& jpeg, const QSize& atLeast, bool* warned, bool* declined)
{
    if (warned)
        *warned = false;
    if (declined)
        *declined = false;
    Handle handle(tjInitDecompress());
    if (!handle)
        return QImage();
    Header header;
    const bool read = readHeader(handle.get(), jpeg, &header);
    const bool grey = header.colourspace == TJCS_GRAY;
    if (!read || (!grey && header.colourspace != TJCS_RGB && header.colourspace != TJCS_YCbCr)) {
        if (declined)
            *declined = true;
        return QImage();
    }

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

    QImage image = pixelBuffer(width, height, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    // RGB32 is 0xffRRGGBB in native order; the decoder fills the alpha byte.
    const int format = grey ? TJPF_GRAY : (Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TJPF_BGRA : TJPF_ARGB);
    if (tjDecompress2(handle.get(), bytes(jpeg), static_cast<unsigned long>(jpeg.size()), image.bits(), width,
                      image.bytesPerLine(), height, format, 0) != 0) {
        if (tjGetErrorCode(handle.get()) != TJERR_WARNING)
            return QImage();
        if (warned)
            *warned = true;
    }
    const QByteArray icc = iccProfile(jpeg);
    if (!icc.isEmpty())
        image.setColorSpace(QColorSpace::fromIccProfile(icc));
    return image;
}

bool JpegCodec::decodesCleanly(const QByteArray& jpeg)
{
    Decompressor decoder;
    if (setjmp(decoder.errors.jump))
        return false;
    decoder.start(jpeg);
    jpeg_read_header(&decoder.info, TRUE);
    // Every coefficient is decoded at any scale; the smallest costs least.
    decoder.info.scale_num = 1;
    decoder.info.scale_denom = 8;
    decoder.info.dct_method = JDCT_IFAST;
    decoder.info.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&decoder.info);
    JSAMPARRAY row = (*decoder.info.mem->alloc_sarray)(
        reinterpret_cast<j_common_ptr>(&decoder.info), JPOOL_IMAGE,
        decoder.info.output_width * JDIMENSION(decoder.info.output_components), 1);
    while (decoder.info.output_scanline < decoder.info.output_height)
        jpeg_read_scanlines(&decoder.info, row, 1);
    jpeg_finish_decompress(&decoder.info);
    return !decoder.errors.warned;
}

QByteArray JpegCodec::withUprightExif(const QByteArray& encoded, const QByteArray& source, int orientation)
{
    const QByteArray exif = uprightExif(source, orientation);
    if (exif.isEmpty() || !encoded.startsWith("\xFF\xD8"))
        return encoded;
    return withSegments(bytes(encoded), static_cast<unsigned long>(encoded.size()), {exif});
}

QByteArray JpegCodec::iccProfile(const QByteArray& jpeg)
{
    QByteArray profile;
    for (const QByteArray& segment : iccSegments(jpeg))
        profile.append(segment.constData() + kIccHeader, segment.size() - kIccHeader);
    return profile;
}
