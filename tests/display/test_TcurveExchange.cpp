// Curves written as FRD, ZMA, CSV and text and read back; a bad file changes no curve.
#include "display/TCurveEdit.h"
#include "display/Tcurve.h"
#include "display/TcurveExchange.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

// A curve of 200 logarithmically spaced points with values and a phase of awkward digits.
Tcurve sample(enumYvalueTyp kind)
{
    Tcurve c(2);
    c.FValuelogY = kind;
    c.Name = "Tweeter";
    c.setNewPoints(200);
    for (int i = 0; i < 200; ++i) {
        const double f = 20.0 * std::pow(1000.0, i / 199.0);
        c.setPoint(i, f, kind == eOhm ? 6.0 + 30.0 / (1.0 + std::pow(std::log(f / 55.0), 2)) : -3.0 * std::sin(f / 777.0) / 3.0);
        c.OriPh.setsmAr(i, std::remainder(f / 3000.0, 2 * std::numbers::pi));
    }
    return c;
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

// Each layout reproduces x, y and phase within its 10 significant digits.
TEST(CurveExchange, EveryLayoutRoundTripsWithinItsPrecision)
{
    QTemporaryDir dir;
    for (const char* name : {"a.frd", "b.zma", "c.csv", "d.txt"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(name);
        const eCurveFormat f = CurveFormatOfName(path);
        const Tcurve c = sample(f == eCurveFormat::cfZMA ? eOhm : edBV);
        QString why;
        ASSERT_TRUE(ExportCurve(c, path, f, &why)) << why.toStdString();
        Tcurve back(5);
        back.FColLine = 0x123456;
        ASSERT_TRUE(TCurveEdit::loadCurveKeeping(back, path, &why)) << why.toStdString();
        ASSERT_EQ(back.OriY.samples(), 200);
        for (int i = 0; i < 200; ++i) {
            EXPECT_NEAR(back.xaxis.getsmAr(i), c.xaxis.getsmAr(i), 1e-9 * c.xaxis.getsmAr(i));
            EXPECT_NEAR(back.OriY.getsmAr(i), c.OriY.getsmAr(i), 1e-9 * std::max(1.0, std::fabs(c.OriY.getsmAr(i))));
            EXPECT_NEAR(back.OriPh.getsmAr(i), c.OriPh.getsmAr(i), 1e-9 * std::numbers::pi);
        }
        EXPECT_EQ(back.FValuelogY, f == eCurveFormat::cfZMA ? eOhm : eddB);
        EXPECT_EQ(back.line, 5) << "the slot stays";
        EXPECT_EQ(back.FColLine, 0x123456u) << "the colour stays";
    }
}

TEST(CurveExchange, WrongCurveKindsAndBadFilesChangeNothing)
{
    QTemporaryDir dir;
    QString why;
    EXPECT_FALSE(ExportCurve(sample(edBV), dir.filePath("x.zma"), eCurveFormat::cfZMA, &why));
    EXPECT_TRUE(why.contains("ZMA holds impedance")) << why.toStdString();
    EXPECT_FALSE(ExportCurve(sample(eOhm), dir.filePath("x.frd"), eCurveFormat::cfFRD, &why));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.zma")) || QFile::exists(dir.filePath("x.frd")));

    // A spectrum's 0 Hz bin and unused points (x back at 0) stay out of FRD; CSV keeps 0 Hz.
    Tcurve spectrum;
    spectrum.setNewPoints(6);
    for (int i = 0; i < 4; ++i) spectrum.setPoint(i, 10.0 * i, -i);
    for (const char* name : {"s.frd", "s.csv"}) {
        ASSERT_TRUE(ExportCurve(spectrum, dir.filePath(name), CurveFormatOfName(name), &why)) << why.toStdString();
        Tcurve back;
        ASSERT_TRUE(ImportCurve(back, dir.filePath(name), CurveFormatOfName(name), &why)) << why.toStdString();
        EXPECT_EQ(back.OriY.samples(), name[2] == 'f' ? 3 : 4) << name;
    }

    const QString bad = dir.filePath("bad.frd");
    write(bad, "* response\n100 1 0\n200 2 0\n150 3 0\n");
    Tcurve c = sample(edBV);
    const Tcurve before = c;
    EXPECT_FALSE(ImportCurve(c, bad, eCurveFormat::cfFRD, &why));
    EXPECT_EQ(why, "bad.frd: line 4: the frequency does not rise");
    EXPECT_EQ(c.OriY.samples(), before.OriY.samples());
    EXPECT_EQ(c.OriY.getsmAr(7), before.OriY.getsmAr(7));
    EXPECT_EQ(c.Name, before.Name);
    EXPECT_FALSE(ImportCurve(c, dir.filePath("missing.frd"), eCurveFormat::cfFRD, &why));
    EXPECT_TRUE(why.startsWith("Cannot open missing.frd")) << why.toStdString();
}
