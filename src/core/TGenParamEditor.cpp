// Display, typing and arrow rules of the main window's generator parameter editor.
#include "core/TGenParamEditor.h"

#include "core/TGenerator.h"

#include <algorithm>

namespace TGenParamEditor {

namespace {

constexpr int kTypedWidthMax = 40;  // samples: the largest width accepted by typing
constexpr int kArrowWidthMax = 400; // samples: the largest width the arrows reach
constexpr int kMLSMin = 12;         // MLS orders offered
constexpr int kMLSMax = 16;
constexpr int kMLSSkipped = 13;     // never reached by the arrows

} // namespace

int stepMLSOrder(int order, int delta)
{
    int o = std::clamp(order + delta, kMLSMin, kMLSMax);
    if (o == kMLSSkipped) o += delta > 0 ? 1 : -1;
    return o;
}

TGenEditorView display(const TwaveGO& go)
{
    using namespace vlgen;
    TGenEditorView v;
    const int mode = go.modeL;
    v.modeName = modeName(mode);
    v.unit = unitLabel(mode);
    switch (mode) {
    case gmWhiteNoise:
    case gmPinkNoise:
    case gmRaw: v.visible = false; break;
    case gmSoundFile:
        v.visible = false;
        v.hint = recordText(go.ufname);
        break;
    case gmUserWave: v.keepText = true; break;
    case gmDirac: v.text = QString::number(go.OShotsamples); break;
    case gmMLS: v.text = QString::number(go.MLSsize); break;
    case gmSynthesis:
        v.readOnly = true;
        v.text = recordText(go.WaF.functionStr);
        break;
    default: v.text = formatFixed(go.GenFreqR, 4); break;
    }
    return v;
}

bool typed(TwaveGO& go, const QString& text, int rate)
{
    using namespace vlgen;
    const int mode = go.modeL;
    if (mode == gmDirac) {
        int w = 0;
        if (!parseWholeNumber(text, w)) return false;
        go.OShotsamples = std::clamp(w, 1, kTypedWidthMax);
        return true;
    }
    if (mode == gmMLS) {
        int o = 0;
        if (!parseWholeNumber(text, o) || o < kMLSMin || o > kMLSMax) return false;
        if (o == kMLSSkipped && go.MLSsize == 14) o = 12;
        else if (o == kMLSSkipped && go.MLSsize == 12) o = 14;
        go.MLSsize = o;
        return true;
    }
    if (!isFrequencyMode(mode)) return false;
    double f = 0.0;
    if (!parseNumber(text, f) || f <= 0.0 || f > rate) return false;
    setFrequency(go, f);
    return true;
}

bool step(TwaveGO& go, int delta)
{
    using namespace vlgen;
    const int mode = go.modeL;
    if (mode == gmDirac) {
        const int w = std::clamp(go.OShotsamples + delta, 1, kArrowWidthMax);
        const bool changed = w != go.OShotsamples;
        go.OShotsamples = w;
        return changed;
    }
    if (mode == gmMLS) {
        const int o = stepMLSOrder(go.MLSsize, delta);
        const bool changed = o != go.MLSsize;
        go.MLSsize = o;
        return changed;
    }
    if (!isFrequencyMode(mode)) return false;
    const double f = go.GenFreqR + delta;
    if (!(f > 0.0)) return false; // a frequency of 0 Hz or below is no signal the modes know
    setFrequency(go, f);
    return true;
}

} // namespace TGenParamEditor
