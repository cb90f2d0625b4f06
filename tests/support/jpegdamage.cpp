#include "jpegfixture.h"

#include "picturework.h"

#include <QStringList>

// Kept apart from the fixtures the demo data maker builds too: only the
// tests link libjpeg.

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>
// libjpeg after the standard headers it needs.
#include <jpeglib.h>

namespace {

// Where the first segment of the marker starts (at its 0xFF), walking the
// segments from SOI; -1 when the header has none.
int segmentStart(const QByteArray& jpeg, uchar marker)
{
    int at = 2;
    while (at + 4 <= jpeg.size() && uchar(jpeg.at(at)) == 0xFF) {
        if (uchar(jpeg.at(at + 1)) == marker)
            return at;
        if (uchar(jpeg.at(at + 1)) == 0xDA)
            return -1;
        at += 2 + ((uchar(jpeg.at(at + 2)) << 8) | uchar(jpeg.at(at + 3)));
    }
    return -1;
}

struct FixtureErrors
{
    jpeg_error_mgr manager;
    jmp_buf jump;
};

void jumpBack(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<FixtureErrors*>(cinfo->err)->jump, 1);
}

QByteArray beyondStandardTables(const QByteArray& jpeg, bool few)
{
    jpeg_decompress_struct source{};
    jpeg_compress_struct target{};
    FixtureErrors errors;
    source.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpBack;
    target.err = &errors.manager;
    jpeg_create_decompress(&source);
    jpeg_create_compress(&target);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    QByteArray result;
    if (setjmp(errors.jump) == 0) {
        jpeg_mem_src(&source, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                     static_cast<unsigned long>(jpeg.size()));
        for (int app = 0; app < 16; ++app)
            jpeg_save_markers(&source, JPEG_APP0 + app, 0xFFFF);
        jpeg_read_header(&source, TRUE);
        jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&source);
        jpeg_copy_critical_parameters(&source, &target);
        // Every run and size an AC coefficient can have, sizes 11 to 15
        // too, each under an 8-bit code.
        for (JHUFF_TBL* table : {target.ac_huff_tbl_ptrs[0], target.ac_huff_tbl_ptrs[1]}) {
            std::fill(std::begin(table->bits), std::end(table->bits), 0);
            int count = 0;
            for (int symbol = 0; symbol < 256; ++symbol) {
                if ((symbol & 15) != 0 || symbol == 0x00 || symbol == 0xF0)
                    table->huffval[count++] = UINT8(symbol);
            }
            table->bits[8] = UINT8(count);
        }
        jpeg_mem_dest(&target, &out, &outSize);
        jpeg_write_coefficients(&target, coefficients);
        for (jpeg_saved_marker_ptr marker = source.marker_list; marker; marker = marker->next)
            jpeg_write_marker(&target, marker->marker, marker->data, marker->data_length);
        // In every 64th block of the first component: one such coefficient
        // alone may pass unseen where it is written again.
        const jpeg_component_info& first = source.comp_info[0];
        for (JDIMENSION row = 0; row < first.height_in_blocks; ++row) {
            JBLOCKARRAY blocks = source.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&source),
                                                                coefficients[0], row, 1, TRUE);
            for (JDIMENSION column = 0; column < first.width_in_blocks; ++column) {
                if (!few && (row * first.width_in_blocks + column) % 64 == 0)
                    blocks[0][column][1] = 1500; // 11 bits: baseline's standard tables end at 10
                if (few && row == 0 && (column == 2 || column == 6 || column == 10)) {
                    // Alone in its block: under the standard luminance table
                    // its 11 bits 10110000000 read as the codes of -15 and -1.
                    std::fill(blocks[0][column] + 1, blocks[0][column] + DCTSIZE2, JCOEF(0));
                    blocks[0][column][1] = 1408;
                }
            }
        }
        jpeg_finish_compress(&target);
        result = QByteArray(reinterpret_cast<const char*>(out), int(outSize));
    }
    jpeg_destroy_compress(&target);
    jpeg_destroy_decompress(&source);
    free(out);
    return result;
}

} // namespace

QByteArray JpegFixture::encode(const QImage& image, Layout layout, const Options& options)
{
    const QImage rgb = PictureWork::converted(image, QImage::Format_RGB888);
    const bool cmyk = layout == Layout::Cmyk;
    const int components = cmyk ? 4 : 3;
    std::vector<JSAMPLE> line(size_t(rgb.width()) * size_t(components), 255); // K stays 255: no black
    jpeg_compress_struct target{};
    FixtureErrors errors;
    target.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpBack;
    jpeg_create_compress(&target);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    QByteArray result;
    if (setjmp(errors.jump) == 0) {
        jpeg_mem_dest(&target, &out, &outSize);
        target.image_width = JDIMENSION(rgb.width());
        target.image_height = JDIMENSION(rgb.height());
        target.input_components = components;
        target.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
        jpeg_set_defaults(&target);
        jpeg_set_quality(&target, options.quality, TRUE);
        if (!cmyk) {
            target.comp_info[0].h_samp_factor = 4;
            target.comp_info[0].v_samp_factor = 1;
        }
        jpeg_start_compress(&target, TRUE);
        for (JSAMPROW row = line.data(); target.next_scanline < target.image_height;) {
            const uchar* pixels = rgb.constScanLine(int(target.next_scanline));
            for (int x = 0; x < rgb.width(); ++x)
                std::copy(pixels + x * 3, pixels + x * 3 + 3, row + x * components);
            jpeg_write_scanlines(&target, &row, 1);
        }
        jpeg_finish_compress(&target);
        result = QByteArray(reinterpret_cast<const char*>(out), int(outSize));
    }
    jpeg_destroy_compress(&target);
    free(out);
    return result.isEmpty() ? result : withExif(result, image, options);
}

QString JpegFixture::layoutOf(const QByteArray& jpeg)
{
    jpeg_decompress_struct source{};
    FixtureErrors errors;
    source.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpBack;
    jpeg_create_decompress(&source);
    QString layout;
    if (setjmp(errors.jump) == 0) {
        jpeg_mem_src(&source, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                     static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&source, TRUE);
        const QStringList spaces{"unknown", "grey", "RGB", "YCbCr", "CMYK", "YCCK"};
        layout = spaces.value(source.jpeg_color_space, QStringLiteral("other"));
        for (int ci = 0; ci < source.num_components; ++ci)
            layout += QStringLiteral(" %1x%2")
                          .arg(source.comp_info[ci].h_samp_factor)
                          .arg(source.comp_info[ci].v_samp_factor);
    }
    jpeg_destroy_decompress(&source);
    return layout;
}

QByteArray JpegFixture::damaged(const QByteArray& jpeg, Damage damage)
{
    if (damage == Damage::BeyondStandardTables || damage == Damage::FewBeyondStandardTables)
        return beyondStandardTables(jpeg, damage == Damage::FewBeyondStandardTables);
    QByteArray bytes = jpeg;
    const int at = segmentStart(bytes, damage == Damage::BadHuffmanTable ? 0xC4 : 0xC0);
    if (at < 0)
        return QByteArray();
    if (damage == Damage::NoWidth) {
        bytes[at + 7] = bytes[at + 8] = 0;
    } else if (damage == Damage::TwelveBitSamples) {
        // Extended sequential, 12 bits a sample; the coded data of 8-bit
        // samples is valid data of that precision.
        bytes[at + 1] = char(0xC1);
        bytes[at + 4] = 12;
    } else {
        bytes.replace(at + 5, 16, QByteArray(16, char(0xFF))); // 4080 codes, where a table holds 256
    }
    return bytes;
}
