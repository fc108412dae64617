// Curves to and from FRD, ZMA, CSV and plain text column files.
#include "display/TcurveExchange.h"

#include "display/Tcurve.h"
#include "analysis/columnFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

constexpr double kDegPerRad = 180.0 / std::numbers::pi;

QByteArray number10(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return QByteArray(buf).replace(',', '.');
}

bool hasPhase(const Tcurve& c)
{
    if (c.OriPh.samples() < c.OriY.samples()) return false;
    for (int32_t i = 0; i < c.OriY.samples(); ++i)
        if (c.OriPh.getsmAr(i) != 0.0) return true;
    return false;
}

const char* valueName(const Tcurve& c)
{
    return c.FValuelogY == eOhm ? "Impedance (ohm)" : "Level (dB)";
}

// Why the curve cannot go into format f; empty when it can.
QString refusal(const Tcurve& c, eCurveFormat f)
{
    if (c.OriY.samples() == 0) return QStringLiteral("the curve has no points");
    if (f == eCurveFormat::cfZMA && c.FValuelogY != eOhm) return QStringLiteral("ZMA holds impedance curves (ohm) only");
    if (f != eCurveFormat::cfZMA && (c.FValuelogY == eOhm || c.FValuelogY == eGrad))
        return QStringLiteral("this layout holds level curves; save impedance curves as ZMA");
    return {};
}

QByteArray content(const Tcurve& c, eCurveFormat f, int& rows)
{
    rows = 0;
    const bool ph = hasPhase(c);
    const char* sep = f == eCurveFormat::cfCSV ? "," : f == eCurveFormat::cfText ? "\t" : " ";
    QByteArray out;
    if (f == eCurveFormat::cfCSV) {
        out += QByteArray("Frequency (Hz),") + valueName(c) + (ph ? ",Phase (deg)" : "") + "\r\n";
    } else {
        out += "* " + c.Name.toUtf8() + "\r\n";
        if (!c.Comment.isEmpty() && c.Comment != "...") out += "* " + c.Comment.toUtf8() + "\r\n";
        out += QByteArray("* Frequency (Hz)") + sep + valueName(c) + (ph ? QByteArray(sep) + "Phase (deg)" : "") + "\r\n";
    }
    // Only rows a reader takes: finite, rising frequencies (above 0 Hz in FRD and ZMA, whose
    // readers draw them on a logarithmic axis).
    const bool logAxis = f == eCurveFormat::cfFRD || f == eCurveFormat::cfZMA;
    double last = logAxis ? 0.0 : -HUGE_VAL;
    for (int32_t i = 0; i < c.OriY.samples() && i < c.xaxis.samples(); ++i) {
        const double x = c.xaxis.getsmAr(i), y = c.OriY.getsmAr(i);
        if (!std::isfinite(x) || !std::isfinite(y) || !(x > last)) continue;
        last = x;
        ++rows;
        out += number10(x) + sep + number10(y);
        if (ph) out += sep + number10(c.OriPh.getsmAr(i) * kDegPerRad);
        out += "\r\n";
    }
    return out;
}

bool fail(QString* error, const QString& text)
{
    if (error) *error = text;
    return false;
}

} // namespace

eCurveFormat CurveFormatOfName(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == "frd") return eCurveFormat::cfFRD;
    if (ext == "zma") return eCurveFormat::cfZMA;
    if (ext == "csv") return eCurveFormat::cfCSV;
    if (ext == "txt") return eCurveFormat::cfText;
    return eCurveFormat::cfCur;
}

bool ExportCurve(const Tcurve& c, const QString& path, eCurveFormat f, QString* error)
{
    if (f == eCurveFormat::cfCur) return c.savetoFile(path, error);
    const QString why = refusal(c, f);
    if (!why.isEmpty()) return fail(error, QFileInfo(path).fileName() + ": " + why);
    int rows = 0;
    const QByteArray text = content(c, f, rows);
    if (rows < 2) return fail(error, QFileInfo(path).fileName() + ": the curve has fewer than two points to write");
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(text) >= 0 && out.commit()) return true;
    return fail(error, "Error writing " + path + ": " + out.errorString());
}

bool ImportCurve(Tcurve& c, const QString& path, eCurveFormat f, QString* error)
{
    TColumnTable t;
    if (!ReadColumnFile(path, t, error)) return false;
    Tcurve loaded;
    loaded.copy(c);
    const int32_t n = int32_t(t.x.size());
    loaded.setNewPoints(n);
    for (int32_t i = 0; i < n; ++i) {
        loaded.setPoint(i, t.x[size_t(i)], t.y[size_t(i)]);
        const double ph = t.phase.empty() ? 0.0 : t.phase[size_t(i)] / kDegPerRad;
        loaded.OriPh.setsmAr(i, ph);
        loaded.CpyPh.setsmAr(i, ph);
    }
    loaded.FValuelogY = f == eCurveFormat::cfZMA ? eOhm : eddB;
    loaded.Flogx = true;
    loaded.Name = QFileInfo(path).completeBaseName();
    loaded.Comment = t.notes.empty() ? QStringLiteral("...") : QString::fromUtf8(t.notes.front()).remove(QRegularExpression("^[*\"#!;/]+\\s*"));
    loaded.FileName = path;
    loaded.ValidData = true;
    loaded.FFTwin = -1;
    loaded.SamplesFFT = 0;
    c.copy(loaded);
    return true;
}
