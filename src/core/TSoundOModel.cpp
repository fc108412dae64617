// Rules of the generator dialog: mode items, controls per mode, fields, arrows and "Reset".
#include "core/TSoundOModel.h"

#include "base/vlMessages.h"
#include "core/TGenParamEditor.h"
#include "core/TGenerator.h"

#include <algorithm>
#include <cmath>

using namespace vlgen;

namespace {

constexpr int kItemModes[TSoundOModel::kItems] = {gmSine,  gmSquare, gmTriangle, gmWhiteNoise,
                                                  gmPinkNoise, gmBurst, gmDirac, gmMLS,
                                                  gmDualSine,  gmSoundFile, gmSynthesis};
const char* const kItemCaptions[TSoundOModel::kItems] = {
    "sine", "square", "triangle", "white noise", "pink noise", "sine burst", "dirac", "MLS",
    "Dual Sine ", "Sound File Out", "Wave Synthesis"};

constexpr double kLevelMin = -192.0; // dBFS
constexpr double kLevelMax = 0.0;    // dBFS
constexpr double kLevelStep = 0.1;   // dB per arrow click
constexpr int kWidthMax = 400;       // samples, arrow limit
constexpr int kWavesMax = 100;       // waves per burst, arrow limit

bool isImpulseMode(int mode) { return mode == gmDirac || mode == gmMLS || mode == gmBurst; }

// Rounds a typed value to an int; false for values outside the int range.
bool roundToInt(double v, int& out)
{
    const double r = std::round(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return false;
    out = int(r);
    return true;
}

} // namespace

int TSoundOModel::itemToMode(int item) { return (item >= 0 && item < kItems) ? kItemModes[item] : -1; }

int TSoundOModel::modeToItem(int mode)
{
    for (int i = 0; i < kItems; ++i)
        if (kItemModes[i] == mode) return i;
    return -1;
}

QString TSoundOModel::itemCaption(int item)
{
    return (item >= 0 && item < kItems) ? QString::fromLatin1(kItemCaptions[item]) : QString();
}

int TSoundOModel::rate() const { return outRate(m_go); }
double TSoundOModel::signalLength_ms() const { return vlgen::signalLength_ms(m_go, rate()); }

void TSoundOModel::chooseItem(int item)
{
    int mode = itemToMode(item);
    if (mode < 0) return;
    if (mode == gmSoundFile && !(m_caps & capSoundFile)) {
        vl::infoBox(QStringLiteral("The act. soundDLL doesn't support sound files output"));
        mode = gmSine;
    } else if (mode == gmSynthesis && !(m_caps & capSynthesis)) {
        vl::infoBox(QStringLiteral("The act. soundDLL doesn't support wave synthesis"));
        mode = gmSine;
    }
    setMode(m_go, mode);
}

// ---- view ---------------------------------------------------------------------------------------

TSoundOView TSoundOModel::rebuild()
{
    if (m_go.modeL == gmMLS && m_go.MLSsize == 13) m_go.MLSsize = 12;
    if (isImpulseMode(m_go.modeL) && !m_impulse && m_go.repTime_ms < signalLength_ms())
        vl::warningBox(QStringLiteral("impulse length greater than rep. time"));
    return view();
}

TSoundOView TSoundOModel::view() const
{
    TSoundOView v;
    const int mode = m_go.modeL;
    v.radioItem = modeToItem(mode);
    v.levelVisible = mode != gmSoundFile;
    v.levelText = formatFixed(m_go.voldB_R, 2);
    v.freqCaption = QStringLiteral("Frequency (Hz)");
    v.freqText = formatFixed(m_go.GenFreqR, 4);
    v.thirdCaption = QStringLiteral("repeat time (ms)");
    v.thirdText = QString::number(m_go.repTime_ms);
    v.contiChecked = m_go.Conti == 1;
    v.dualFunc = (m_go.dualTfunc >= 0 && m_go.dualTfunc <= 2) ? m_go.dualTfunc : 0;
    fillParameters(v);
    if (mode == gmSoundFile) {
        v.openFileVisible = true;
        v.openFileEnabled = (m_caps & capSoundFile) != 0;
        v.outFilterEnabled = (m_caps & capOutFilterWithFile) != 0;
        v.fileHint = recordText(m_go.ufname);
    }
    if (mode == gmSynthesis) {
        v.synthesisVisible = true;
        v.synthesisEnabled = (m_caps & capSynthesis) != 0;
    }
    return v;
}

void TSoundOModel::fillParameters(TSoundOView& v) const
{
    switch (m_go.modeL) {
    case gmSine:
    case gmSquare:
    case gmTriangle: v.freqVisible = true; break;
    case gmDirac:
    case gmMLS: fillImpulse(v); break;
    case gmBurst:
        v.freqVisible = v.secondVisible = v.thirdVisible = v.contiVisible = true;
        v.secondCaption = QStringLiteral("waves");
        v.secondText = QString::number(m_go.AnzWave);
        break;
    case gmDualSine:
        v.freqVisible = v.secondVisible = v.thirdVisible = v.dualVisible = true;
        v.secondCaption = QStringLiteral("Second frequency");
        v.secondText = formatFixed(m_go.secfreqR, 4);
        v.thirdCaption = QStringLiteral("Second dig.Level (dbFS)");
        v.thirdText = formatFixed(m_go.secvoldB_R, 2);
        break;
    default: break;
    }
}

void TSoundOModel::fillImpulse(TSoundOView& v) const
{
    v.secondVisible = v.thirdVisible = v.contiVisible = v.infoVisible = true;
    const double r = rate();
    if (m_go.modeL == gmDirac) {
        v.secondCaption = QStringLiteral("width (samples)");
        v.secondText = QString::number(m_go.OShotsamples);
        v.infoCaption = QStringLiteral("DIRAC width");
        const double width_us = r > 0 ? m_go.OShotsamples / r * 1e6 : 0.0;
        const double fg = width_us > 0 ? 500000.0 / width_us : 0.0;
        v.infoText = formatFixed(width_us, 4) + "us   fg: " + formatFixed(fg, 1) + "Hz -3dB";
        return;
    }
    v.secondCaption = QStringLiteral("MLS order");
    v.secondReadOnly = true;
    TwaveGO shown = m_go; // an order of 13 is shown (and on the rebuild stored) as 12
    if (shown.MLSsize == 13) shown.MLSsize = 12;
    v.secondText = QString::number(shown.MLSsize);
    v.infoCaption = QStringLiteral("MLS duration (ms)");
    v.infoText = formatFixed(vlgen::signalLength_ms(shown, r), 2);
}

// ---- fields -------------------------------------------------------------------------------------

void TSoundOModel::levelLeft(const QString& text)
{
    double v = 0;
    if (parseNumber(text, v)) setLevel(m_go, std::clamp(v, kLevelMin, kLevelMax));
}

void TSoundOModel::freqLeft(const QString& text)
{
    double v = 0;
    if (!isFrequencyMode(m_go.modeL) || !parseNumber(text, v)) return;
    if (v > 0.0) setFrequency(m_go, v); // 0 Hz and below is no frequency of a signal
}

void TSoundOModel::secondLeft(const QString& text)
{
    double v = 0;
    if (!parseNumber(text, v)) return;
    int n = 0;
    switch (m_go.modeL) {
    case gmDirac:
        if (roundToInt(v, n) && n > 0) m_go.OShotsamples = n;
        break;
    case gmMLS:
        if (roundToInt(v, n) && (n == 12 || n == 14 || n == 15 || n == 16)) m_go.MLSsize = n;
        break;
    case gmBurst:
        if (roundToInt(v, n) && n > 0) m_go.AnzWave = n;
        break;
    case gmDualSine:
        if (v > 0.0) setSecondFrequency(m_go, v);
        break;
    default: break;
    }
}

void TSoundOModel::thirdLeft(const QString& text)
{
    double v = 0;
    if (!parseNumber(text, v)) return;
    if (m_go.modeL == gmDualSine) {
        setSecondLevel(m_go, v);
        return;
    }
    int n = 0;
    if (!roundToInt(v, n) || n < 1) return; // a repeat time must be at least 1 ms
    m_go.repTime_ms = n;
    if (m_go.repTime_ms < signalLength_ms())
        vl::warningBox(QStringLiteral("repeat time is less than impulse length"));
}

// ---- arrows -------------------------------------------------------------------------------------

void TSoundOModel::levelStep(int delta)
{
    // Rounded to a millionth of a dB so that repeated clicks do not collect binary fractions.
    const double v = std::round((m_go.voldB_R + delta * kLevelStep) * 1e6) / 1e6;
    setLevel(m_go, std::clamp(v, kLevelMin, kLevelMax));
}

void TSoundOModel::freqStep(int delta)
{
    const double f = m_go.GenFreqR + delta;
    if (f > 0.0) setFrequency(m_go, f);
}

void TSoundOModel::secondStep(int delta)
{
    switch (m_go.modeL) {
    case gmDirac: m_go.OShotsamples = std::clamp(m_go.OShotsamples + delta, 1, kWidthMax); break;
    case gmMLS: m_go.MLSsize = TGenParamEditor::stepMLSOrder(m_go.MLSsize, delta); break;
    case gmBurst: m_go.AnzWave = std::clamp(m_go.AnzWave + delta, 1, kWavesMax); break;
    case gmDualSine: setSecondFrequency(m_go, std::max(1.0, m_go.secfreqR + delta)); break;
    default: break;
    }
}

void TSoundOModel::thirdStep(int delta)
{
    if (m_go.modeL == gmDualSine) setSecondLevel(m_go, m_go.secvoldB_R + delta);
    else m_go.repTime_ms = std::max(1, m_go.repTime_ms + delta);
}

void TSoundOModel::setSoundFile(const QString& fileName)
{
    // A cut name would name another file: a name that does not fit is refused.
    if (fileName.toUtf8().size() >= qsizetype(sizeof m_go.ufname)) {
        vl::errorBox("The sound file name is too long (at most " + QString::number(sizeof m_go.ufname - 1) +
                     " bytes): " + fileName.left(80) + "...");
        return;
    }
    setRecordText(m_go.ufname, fileName);
}

// ---- "Reset" ------------------------------------------------------------------------------------

void TSoundOModel::reset()
{
    auto impulse = [this](double level, int repeat) {
        setLevel(m_go, level);
        m_go.repTime_ms = repeat;
        m_go.Conti = 1;
    };
    switch (m_go.modeL) {
    case gmSine: setFrequency(m_go, 440.0), setLevel(m_go, 0.0); break;
    case gmSquare:
    case gmTriangle: setFrequency(m_go, 1000.0), setLevel(m_go, -3.0); break;
    case gmWhiteNoise: setLevel(m_go, -6.0); break;
    case gmPinkNoise: setLevel(m_go, 0.0); break;
    case gmDirac: impulse(-9.0, 100), m_go.OShotsamples = 1; break;
    case gmMLS: impulse(-9.0, 1000), m_go.MLSsize = 12; break;
    case gmBurst: impulse(-3.0, 100), setFrequency(m_go, 1000.0), m_go.AnzWave = 10; break;
    case gmDualSine:
        setFrequency(m_go, 7000.0);
        setLevel(m_go, -15.0);
        setSecondFrequency(m_go, 60.0);
        setSecondLevel(m_go, -3.0);
        m_go.dualTfunc = 0;
        break;
    default: break;
    }
}
