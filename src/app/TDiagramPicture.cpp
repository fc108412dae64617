// Diagram pictures as files: BMP through Qt, JPEG through libjpeg with EXIF (libexif) and IPTC (libiptcdata).
#include "app/TDiagramPicture.h"

#include <QFileInfo>
#include <QSaveFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <jpeglib.h>
#include <libexif/exif-data.h>
#include <libiptcdata/iptc-data.h>
#include <libiptcdata/iptc-jpeg.h>
}

namespace {

// ---- EXIF ---------------------------------------------------------------------------------------

struct ExifDel {
    void operator()(ExifData* d) const { exif_data_unref(d); }
};

// Sets an ASCII entry (NUL-terminated, as the standard wants), replacing one that exists.
void setExifText(ExifData* exif, ExifIfd ifd, ExifTag tag, const QByteArray& text)
{
    if (ExifEntry* old = exif_content_get_entry(exif->ifd[ifd], tag)) exif_content_remove_entry(exif->ifd[ifd], old);
    ExifMem* mem = exif_mem_new_default();
    ExifEntry* e = exif_entry_new_mem(mem);
    const size_t n = size_t(text.size()) + 1;
    e->data = static_cast<unsigned char*>(exif_mem_alloc(mem, ExifLong(n)));
    if (e->data) {
        std::memcpy(e->data, text.constData(), n);
        e->size = static_cast<unsigned int>(n);
        e->components = n;
        e->format = EXIF_FORMAT_ASCII;
        e->tag = tag;
        exif_content_add_entry(exif->ifd[ifd], e);
    }
    exif_entry_unref(e);
    exif_mem_unref(mem);
}

// EXIF ASCII is 7-bit: other characters become '?', so no reader misreads them.
QByteArray exifAscii(const QString& s)
{
    QByteArray a = s.toLatin1();
    for (char& c : a)
        if (static_cast<unsigned char>(c) > 0x7E || (static_cast<unsigned char>(c) < 0x20 && c != '\n')) c = '?';
    return a;
}

// An entry with the standard's default value, unless it exists.
void initExifEntry(ExifData* exif, ExifIfd ifd, ExifTag tag)
{
    if (exif_content_get_entry(exif->ifd[ifd], tag)) return;
    ExifEntry* e = exif_entry_new();
    e->tag = tag;
    exif_content_add_entry(exif->ifd[ifd], e);
    exif_entry_initialize(e, tag);
    exif_entry_unref(e);
}

void setExifLong(ExifData* exif, ExifIfd ifd, ExifTag tag, uint32_t v)
{
    initExifEntry(exif, ifd, tag);
    ExifEntry* e = exif_content_get_entry(exif->ifd[ifd], tag);
    if (e->format == EXIF_FORMAT_LONG && e->data) exif_set_long(e->data, exif_data_get_byte_order(exif), v);
    else if (e->format == EXIF_FORMAT_SHORT && e->data) exif_set_short(e->data, exif_data_get_byte_order(exif), ExifShort(v));
}

// The APP1 payload ("Exif\0\0" + TIFF structure).
QByteArray exifBlock(const TPictureMeta& m, QSize size)
{
    std::unique_ptr<ExifData, ExifDel> exif(exif_data_new());
    if (!exif) return {};
    exif_data_set_byte_order(exif.get(), EXIF_BYTE_ORDER_INTEL);
    exif_data_fix(exif.get()); // the entries the standard requires (resolution, version, ...)
    // Two that a JPEG must have and the fix leaves out: its samples are Y Cb Cr, centred.
    initExifEntry(exif.get(), EXIF_IFD_0, EXIF_TAG_YCBCR_POSITIONING);
    initExifEntry(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_COMPONENTS_CONFIGURATION);
    const QByteArray stamp = m.when.toString("yyyy:MM:dd HH:mm:ss").toLatin1();
    setExifText(exif.get(), EXIF_IFD_0, EXIF_TAG_IMAGE_DESCRIPTION, exifAscii(m.description));
    setExifText(exif.get(), EXIF_IFD_0, EXIF_TAG_SOFTWARE, exifAscii(m.version));
    setExifText(exif.get(), EXIF_IFD_0, EXIF_TAG_ARTIST, kPictureAuthor);
    setExifText(exif.get(), EXIF_IFD_0, EXIF_TAG_COPYRIGHT, exifAscii(m.caption));
    setExifText(exif.get(), EXIF_IFD_0, EXIF_TAG_DATE_TIME, stamp);
    setExifText(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, stamp);
    setExifText(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_DIGITIZED, stamp);
    setExifLong(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, uint32_t(size.width()));
    setExifLong(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, uint32_t(size.height()));
    unsigned char* buf = nullptr;
    unsigned int len = 0;
    exif_data_save_data(exif.get(), &buf, &len);
    QByteArray out(reinterpret_cast<const char*>(buf), int(len));
    std::free(buf);
    return out;
}

// ---- IPTC ---------------------------------------------------------------------------------------

struct IptcDel {
    void operator()(IptcData* d) const { iptc_data_unref(d); }
};

// UTF-8 of s cut to at most `limit` bytes without splitting a character (the IPTC length limits).
QByteArray utf8Cut(const QString& s, int limit)
{
    QByteArray a = s.toUtf8();
    if (a.size() <= limit) return a;
    int n = limit;
    while (n > 0 && (static_cast<unsigned char>(a[n]) & 0xC0) == 0x80) --n;
    return a.left(n);
}

void addIptc(IptcData* d, IptcTag tag, const QByteArray& v)
{
    if (v.isEmpty()) return;
    iptc_data_add_dataset_with_contents(d, IPTC_RECORD_APP_2, tag, reinterpret_cast<const unsigned char*>(v.constData()),
                                        unsigned(v.size()), IPTC_DONT_VALIDATE);
}

// The APP13 payload: a Photoshop 3.0 resource block holding the IPTC record.
QByteArray iptcBlock(const TPictureMeta& m)
{
    std::unique_ptr<IptcData, IptcDel> d(iptc_data_new());
    if (!d) return {};
    iptc_data_set_version(d.get(), 4);
    iptc_data_set_encoding_utf8(d.get());
    addIptc(d.get(), IPTC_TAG_OBJECT_NAME, utf8Cut(kPictureObjectName, 64));
    QStringList keys = fixedPictureKeywords();
    keys << m.keywords << m.version;
    for (const QString& k : keys) addIptc(d.get(), IPTC_TAG_KEYWORDS, utf8Cut(k, 64));
    addIptc(d.get(), IPTC_TAG_DATE_CREATED, m.when.toString("yyyyMMdd").toLatin1());
    const int off = m.when.offsetFromUtc() / 60; // minutes east of UTC
    addIptc(d.get(), IPTC_TAG_TIME_CREATED,
            m.when.toString("HHmmss").toLatin1() +
                QString::asprintf("%c%02d%02d", off < 0 ? '-' : '+', std::abs(off) / 60, std::abs(off) % 60).toLatin1());
    addIptc(d.get(), IPTC_TAG_ORIGINATING_PROGRAM, "Velmora");
    addIptc(d.get(), IPTC_TAG_PROGRAM_VERSION, utf8Cut(m.version.section(' ', -1), 10));
    addIptc(d.get(), IPTC_TAG_BYLINE, utf8Cut(kPictureAuthor, 32));
    addIptc(d.get(), IPTC_TAG_COPYRIGHT_NOTICE, utf8Cut(m.caption, 128));
    // One result line per caption line; the tab between a line's title and its values reads as a blank.
    addIptc(d.get(), IPTC_TAG_CAPTION, utf8Cut(m.results.join("\n").replace('\t', ' '), 2000));
    iptc_data_sort(d.get()); // records in order: the character set (record 1) first
    unsigned char* raw = nullptr;
    unsigned int rawLen = 0;
    if (iptc_data_save(d.get(), &raw, &rawLen) < 0 || !raw) return {};
    std::vector<unsigned char> ps3(size_t(rawLen) + 256);
    const int n = iptc_jpeg_ps3_save_iptc(nullptr, 0, raw, rawLen, ps3.data(), unsigned(ps3.size()));
    iptc_data_free_buf(d.get(), raw);
    return n > 0 ? QByteArray(reinterpret_cast<const char*>(ps3.data()), n) : QByteArray();
}

// ---- JPEG ---------------------------------------------------------------------------------------

// libjpeg reports errors by calling error_exit, which must not return: it jumps back.
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf back;
    char text[JMSG_LENGTH_MAX];
};

void jpegErrorExit(j_common_ptr c)
{
    auto* e = reinterpret_cast<JpegError*>(c->err);
    (*c->err->format_message)(c, e->text);
    std::longjmp(e->back, 1);
}

// Only plain data lives between setjmp and longjmp here, so the jump skips no destructor.
bool compressRgb(const unsigned char* rgb, int w, int h, int quality, const QByteArray& app1, const QByteArray& app13,
                 unsigned char** out, unsigned long* outLen, char* why)
{
    jpeg_compress_struct c;
    JpegError err;
    c.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegErrorExit;
    if (setjmp(err.back)) {
        jpeg_destroy_compress(&c);
        std::snprintf(why, JMSG_LENGTH_MAX, "%s", err.text);
        return false;
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, out, outLen);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    c.write_JFIF_header = FALSE; // the EXIF block is the APP marker that opens the file
    jpeg_start_compress(&c, TRUE);
    if (!app1.isEmpty())
        jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(app1.constData()), unsigned(app1.size()));
    if (!app13.isEmpty())
        jpeg_write_marker(&c, JPEG_APP0 + 13, reinterpret_cast<const JOCTET*>(app13.constData()), unsigned(app13.size()));
    while (c.next_scanline < c.image_height) {
        auto* row = const_cast<JSAMPROW>(rgb + size_t(c.next_scanline) * size_t(w) * 3);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return true;
}

// A marker holds at most 65533 bytes of payload.
constexpr int kMaxMarker = 65533;

} // namespace

QStringList fixedPictureKeywords() { return {"Velmora", "audio", "measurement", "diagram", "acoustics"}; }

ePictureFormat pictureFormatFor(const QString& file)
{
    const QString ext = QFileInfo(file).suffix().toUpper();
    if (ext == "BMP") return ePictureFormat::pfBmp;
    if (ext == "JPG" || ext == "JPEG") return ePictureFormat::pfJpg;
    return ePictureFormat::pfNone;
}

QByteArray encodeJpeg(const QImage& image, int quality, const TPictureMeta* meta, QString* error)
{
    if (image.isNull()) {
        if (error) *error = "the diagram has no picture";
        return {};
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    // Rows of an RGB888 image are padded to 4 bytes; libjpeg wants them packed.
    std::vector<unsigned char> packed(size_t(rgb.width()) * size_t(rgb.height()) * 3);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(packed.data() + size_t(y) * size_t(rgb.width()) * 3, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    const QByteArray app1 = meta ? exifBlock(*meta, rgb.size()) : QByteArray();
    const QByteArray app13 = meta ? iptcBlock(*meta) : QByteArray();
    if (app1.size() > kMaxMarker || app13.size() > kMaxMarker) {
        if (error) *error = "the picture's metadata is too long";
        return {};
    }
    unsigned char* out = nullptr;
    unsigned long outLen = 0;
    char why[JMSG_LENGTH_MAX] = {};
    const bool ok = compressRgb(packed.data(), rgb.width(), rgb.height(), quality, app1, app13, &out, &outLen, why);
    QByteArray bytes = ok ? QByteArray(reinterpret_cast<const char*>(out), qsizetype(outLen)) : QByteArray();
    std::free(out);
    if (!ok && error) *error = QString::fromLatin1(why);
    return bytes;
}

bool writeDiagramPicture(const QImage& image, const QString& file, const TPictureMeta* meta, QString* error)
{
    const ePictureFormat f = pictureFormatFor(file);
    if (f == ePictureFormat::pfNone) {
        if (error) *error = "the extension is neither .bmp nor .jpg";
        return false;
    }
    if (image.isNull()) {
        if (error) *error = "the diagram has no picture";
        return false;
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        if (error) *error = out.errorString();
        return false;
    }
    bool ok = false;
    if (f == ePictureFormat::pfBmp) {
        ok = image.save(&out, "BMP");
        if (!ok && error) *error = "the bitmap could not be encoded";
    } else {
        const QByteArray jpg = encodeJpeg(image, 90, meta, error);
        ok = !jpg.isEmpty() && out.write(jpg) == jpg.size();
        if (!ok && error && error->isEmpty()) *error = out.errorString();
    }
    if (!ok) {
        out.cancelWriting();
        return false;
    }
    if (out.commit()) return true;
    if (error) *error = out.errorString();
    return false;
}
