// Microphone calibration files read as input corrections and microphone sensitivities.
#include "analysis/TMicCalibration.h"

#include "analysis/columnFile.h"

#include <QFile>
#include <vector>

bool ReadMicCalibration(const QString& path, TMicCalibrationFile& out, QString* error)
{
    TMicCalibrationFile m;
    if (!ReadColumnFile(path, m.table, error)) return false;
    m.sensitivity = FindMicSensitivity(m.table.notes);
    out = std::move(m);
    return true;
}

bool IsForeignColumnFile(const QString& path, char sep, TMicCalibrationFile& out)
{
    TMicCalibrationFile m;
    if (!ReadMicCalibration(path, m)) return false;
    if (m.table.notes.empty()) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly) || f.readAll().contains(sep)) return false;
    }
    out = std::move(m);
    return true;
}

void MicCorrection(const TMicCalibrationFile& f, Tcorri& cor)
{
    const double offset = f.sensitivity && f.sensitivity->inDecibel ? f.sensitivity->value : 0.0;
    std::vector<double> pairs;
    pairs.reserve(2 * f.table.x.size());
    for (size_t i = 0; i < f.table.x.size(); ++i) {
        pairs.push_back(f.table.x[i]);
        pairs.push_back(f.table.y[i] + offset);
    }
    cor.makecCorrArr(pairs.data(), int32_t(f.table.x.size()));
    cor.setMode(2);
    cor.setapplDir(+1);
}

std::optional<double> OfferedMicSensitivity(const TMicCalibrationFile& f)
{
    if (f.sensitivity && !f.sensitivity->inDecibel) return f.sensitivity->value;
    return std::nullopt;
}
