// Diagram pictures as files: a bitmap, or a JPEG that carries EXIF and IPTC metadata.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>

// What a JPEG written by the picture export says about itself.
struct TPictureMeta {
    QString caption;      // the main window's caption: EXIF copyright, IPTC copyright notice
    QString version;      // the program's version text, e.g. "Velmora 3.0.1": EXIF software, IPTC program
    QString description;  // what the diagram shows (measurement and remark): EXIF image description
    QStringList results;  // the measurement's result lines: IPTC caption
    QStringList keywords; // measuring mode and preset: IPTC keywords, after the fixed ones
    QDateTime when;       // EXIF date and time, IPTC date and time created
};

enum class ePictureFormat { pfNone, pfBmp, pfJpg };

// The format by the file's upper-cased extension: ".BMP" a bitmap, ".JPG" (or ".JPEG") a JPEG;
// anything else none (nothing is written).
ePictureFormat pictureFormatFor(const QString& file);

// Writes `image` to `file` in the format of its extension (a JPEG at quality 90 with `meta` when
// given). The file is replaced atomically: a failure leaves an existing file as it was. False
// with the reason in *error.
bool writeDiagramPicture(const QImage& image, const QString& file, const TPictureMeta* meta, QString* error = nullptr);

// The fixed parts of the metadata.
inline constexpr const char* kPictureAuthor = "Velmora audio measurement workstation";
inline constexpr const char* kPictureObjectName = "Velmora Diagram";
// The five keywords every picture carries before its own.
QStringList fixedPictureKeywords();

// The JPEG bytes of `image` with the metadata (exposed for tests of the encoder alone).
QByteArray encodeJpeg(const QImage& image, int quality, const TPictureMeta* meta, QString* error = nullptr);
