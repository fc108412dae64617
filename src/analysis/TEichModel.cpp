// The calibration dialog's rules: history, parsing, sensitivity units and the level read-out.
#include "analysis/TEichModel.h"

#include "base/TMemIniFile.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace eich {

namespace {

const char* const kSection = "EichCombo";
const char* const kMissing = "xxxXXX";

// Field texts: "," and "." both read as the decimal point.
std::optional<double> toNumber(QString text)
{
    bool ok = false;
    const double v = text.replace(',', '.').trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

double meanAbs(const double* x, int32_t n)
{
    double s = 0.0;
    for (int32_t i = 0; i < n; ++i) s += std::fabs(x[i]);
    return n > 0 ? s / n : 0.0;
}

int32_t fullScaleCount(const double* x, int32_t n)
{
    return x ? int32_t(std::count_if(x, x + n, [](double v) { return std::fabs(v) >= 1.0; })) : 0;
}

} // namespace

std::optional<double> leadingVoltage(const QString& entry)
{
    const QString t = entry.trimmed();
    int n = 0;
    while (n < t.size() && (t[n].isDigit() || t[n] == u'.' || t[n] == u',')) ++n;
    if (n == 0) return std::nullopt;
    return toNumber(t.left(n));
}

QStringList loadHistory(const TMemIniFile& ini)
{
    QStringList entries;
    for (int i = 0;; ++i) {
        const QString e = ini.ReadString(kSection, "Combo" + QString::number(i), kMissing);
        if (e == kMissing) break;
        if (leadingVoltage(e)) entries << e;
    }
    return entries;
}

void saveHistory(TMemIniFile& ini, const QStringList& entries)
{
    ini.EraseSection(kSection);
    for (int i = 0; i < entries.size(); ++i) ini.WriteString(kSection, "Combo" + QString::number(i), entries[i]);
}

QString entryFor(const QStringList& entries, double input_mV)
{
    const QString text = QString::asprintf("%1.2f", input_mV);
    for (const QString& e : entries) {
        const std::optional<double> v = leadingVoltage(e);
        if ((v && std::fabs(*v - input_mV) < 0.005) || e.contains(text)) return e;
    }
    return text;
}

double sensitivityToDb(double mVpPa)
{
    const double dB = 20.0 * std::log10(mVpPa / 1000.0);
    return std::isfinite(dB) ? dB : 0.0;
}

double sensitivityFromDb(double dB) { return 1000.0 * std::pow(10.0, dB / 20.0); }

std::optional<QString> dbTextForMv(const QString& mvText)
{
    const std::optional<double> v = toNumber(mvText);
    if (!v) return std::nullopt;
    return QString::asprintf("%1.2f", sensitivityToDb(*v));
}

std::optional<QString> mvTextForDb(const QString& dbText)
{
    const std::optional<double> v = toNumber(dbText);
    if (!v) return std::nullopt;
    return QString::asprintf("%1.2f", sensitivityFromDb(*v));
}

TLevelReadout levelReadout(const double* left, const double* right, int32_t samples, bool overload,
                           bool sampleError)
{
    if (sampleError) return {"sample error", true};
    if (overload)
        return {"over L/R: " + QString::number(fullScaleCount(left, samples)) + " / " +
                    QString::number(fullScaleCount(right, samples)),
                true};
    const double m = std::max(left ? meanAbs(left, samples) : 0.0, right ? meanAbs(right, samples) : 0.0);
    return {QString::asprintf("%4.1f%%", std::numbers::pi / 2.0 * 100.0 * m), false};
}

QString nextActivityMark(const QString& mark)
{
    if (mark == "O") return "o";
    if (mark == "o") return "+";
    return "O";
}

eOkCheck checkOk(int state, const QString& entry)
{
    if (state != 2) return eOkCheck::okNotStarted;
    const std::optional<double> v = leadingVoltage(entry);
    return v && *v > 0.0 ? eOkCheck::okAccept : eOkCheck::okBadVoltage;
}

} // namespace eich
