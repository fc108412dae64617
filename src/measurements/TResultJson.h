// The results file: the active measurement's results as JSON, with the settings that made them.
#pragma once

#include "analysis/AnaEval.h"
#include "analysis/AnalysePara.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

class tMeasureObj;
class Tcorri;
struct TRtResult;
struct tTSP;

// Version of the layout the results file follows (data/schema/results.schema.json).
constexpr int kResultsJsonVersion = 1;

// A number of the results file: null for NaN, infinities and the -192 dB "no value" mark.
QJsonValue JsonNumber(double v);

// Everything besides the measurement that the results file names. Pointers may be null: the
// part they describe is then null.
struct TResultJsonSetup {
    int32_t mode = 0;                         // measuring mode 0..13
    QString soundModule;                      // file name of the sound module
    int32_t sampleRate = 0;                   // input sample rate, Hz
    const cFFTdat* fft = nullptr;             // transform, window, averaging, level unit
    const cAnaPara* ana = nullptr;            // band, weighting, what is evaluated
    const TLevelCalibration* cal = nullptr;   // the calibration record
    const TwaveGO* generator = nullptr;       // the generator's settings
    const Tcorri* inputCorrection = nullptr;  // the input correction (active)
    QString inputCorrectionFile;              // the file it was loaded from
};

// The whole document: "format", "version", "mode", "method", "calibration", "generator",
// "correction" and the measurement's "figures" (empty object without a measurement).
QJsonObject ResultsDocument(const TResultJsonSetup& setup, const tMeasureObj* meas);
// Writes the document atomically (pretty printed, UTF-8); false with the reason in *error.
bool WriteResultsJson(const QString& file, const QJsonObject& doc, QString* error = nullptr);

// ---- the measurements' figures ------------------------------------------------------------

// The FFT result lines as numbers: per channel shown, the enabled lines' values.
QJsonObject SpectrumFigures(const TResultValues& r, const cAnaPara& ana, const QString& levelUnit);
// A point list: one object {"frequency_Hz", "value", "phase_deg"} per point (phase may be absent).
QJsonArray PointList(const Tsamplemem& x, const Tsamplemem& y, const Tsamplemem* phase_deg = nullptr);
// The Thiele-Small record (units in the key names).
QJsonObject TSPFigures(const tTSP& t);
// The reverberation times: broadband and one row per octave band.
QJsonArray RT60Table(const TRtResult& rt);
