// Generator model: names and signal length, settings of "OSOUND"/"ISOUND" with bad input, record
// texts, the mode panel description, and the rules of the main window's parameter editor.
#include "base/TMemIniFile.h"
#include "analysis/AnalysePara.h"
#include "core/TGenParamEditor.h"
#include "core/TGenerator.h"
#include "app/ui/TMainStatusBar.h"

#include <QLocale>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace vlgen;

namespace {

TwaveGO record(int mode, int rate = 48000)
{
    TwaveGO go{};
    setMode(go, mode);
    go.wfs.Wf.nSamplesPerSec = uint32_t(rate);
    setFrequency(go, 1000.0);
    go.OShotsamples = 1;
    go.MLSsize = 12;
    go.AnzWave = 10;
    return go;
}

TwaveGO loaded(const QString& text, const TFormulaCheck& check = {}, bool* accepted = nullptr)
{
    TMemIniFile ini;
    EXPECT_TRUE(ini.setText(text));
    TwaveGO go{};
    std::memset(&go, 0x5A, sizeof go); // whatever the module held before
    const bool a = loadOSound(ini, go, check);
    if (accepted) *accepted = a;
    return go;
}

// Restores the default locale after a test that changes it.
struct LocaleGuard {
    QLocale saved;
    ~LocaleGuard() { QLocale::setDefault(saved); }
};

} // namespace

TEST(TGenerator, ModeNamesUnitsAndSignalLength)
{
    EXPECT_EQ(modeName(0), "sine");
    EXPECT_EQ(modeName(6), "MLS");
    EXPECT_EQ(modeName(12), "synthesis");
    EXPECT_EQ(modeName(13), "unknown");
    EXPECT_EQ(modeName(-1), "unknown");
    EXPECT_EQ(unitLabel(10), "Freq. (Hz)");
    EXPECT_EQ(unitLabel(5), "samples");
    EXPECT_EQ(unitLabel(6), "order");
    EXPECT_EQ(unitLabel(2), "");

    // Exact values: 48 samples are 1 ms; 2^12 - 1 = 4095 samples at 48 kHz are 85.3125 ms;
    // 10 waves of 1 kHz are 10 ms. Tolerance: rounding of one division, 1e-12 ms.
    TwaveGO d = record(gmDirac);
    d.OShotsamples = 48;
    EXPECT_NEAR(signalLength_ms(d, 48000), 1.0, 1e-12);
    EXPECT_NEAR(signalLength_ms(record(gmMLS), 48000), 85.3125, 1e-12);
    EXPECT_NEAR(signalLength_ms(record(gmBurst), 48000), 10.0, 1e-12);
    EXPECT_EQ(signalLength_ms(record(gmSine), 48000), 0.0);
    EXPECT_EQ(signalLength_ms(record(gmMLS), 0), 0.0) << "no rate: no length, no division by zero";
    TwaveGO b = record(gmBurst);
    setFrequency(b, 0.0);
    EXPECT_EQ(signalLength_ms(b, 48000), 0.0);
}

TEST(TGenerator, RecordTextsAreCutAtWholeCharactersAndAlwaysTerminated)
{
    char field[8];
    std::memset(field, 'x', sizeof field);
    EXPECT_TRUE(setRecordText(field, "abc"));
    EXPECT_EQ(recordText(field), "abc");
    EXPECT_EQ(field[7], 0) << "the rest is zeroed";

    // "äöü" is 6 bytes; "abäöü" 8 bytes does not fit in 7 + NUL: cut before the last "ü".
    EXPECT_FALSE(setRecordText(field, QString::fromUtf8("abäöü")));
    EXPECT_EQ(recordText(field), QString::fromUtf8("abäö"));
    EXPECT_EQ(field[6], 0);

    // A field the module filled to the end without a NUL is read within its bounds.
    std::memset(field, 'y', sizeof field);
    EXPECT_EQ(recordText(field), "yyyyyyyy");
}

TEST(TGenerator, MissingKeysGiveTheDefaults)
{
    const TwaveGO go = loaded("");
    EXPECT_EQ(go.GenFreqR, 1000.0);
    EXPECT_EQ(go.GenFreqL, 1000.0);
    EXPECT_EQ(go.voldB_L, 0.0);
    EXPECT_EQ(go.secfreqR, 60.0);
    EXPECT_EQ(go.secvoldB_L, -6.0);
    EXPECT_EQ(go.secvoldB_R, -6.0);
    EXPECT_EQ(go.outdB_L, -1.0);
    EXPECT_EQ(go.outdB_R, -1.0);
    EXPECT_TRUE(go.genOnL && go.genOnR);
    EXPECT_EQ(go.MLSsize, 12);
    EXPECT_EQ(go.OShotsamples, 1);
    EXPECT_EQ(go.AnzWave, 10);
    EXPECT_EQ(go.repTime_ms, 1000);
    EXPECT_EQ(go.Conti, 0);
    EXPECT_EQ(go.modeL, 0);
    EXPECT_EQ(recordText(go.ufname), "unknown");
    EXPECT_FALSE(go.wPlaysnd);
    EXPECT_EQ(go.AnaVol, 100);
    EXPECT_EQ(recordText(go.WaF.functionStr), "");

    TMemIniFile ini;
    TwaveGI gi{};
    loadISound(ini, gi);
    EXPECT_EQ(gi.OneShotTime_samps, 4410);
    EXPECT_EQ(gi.Mode, 1);
    EXPECT_FALSE(gi.wfs.mono);
}

TEST(TGenerator, EveryKeyRoundTripsInAGermanLocale)
{
    TwaveGO a = record(gmDualSine);
    a.GenFreqR = 1234.5;
    a.GenFreqL = 1234.25;
    a.voldB_L = -3.5;
    a.voldB_R = -4.75;
    a.secfreqR = 61.5;
    a.secfreqL = 62.5;
    a.secvoldB_L = -7.25;
    a.secvoldB_R = -8.5;
    a.outdB_L = -2.5;
    a.outdB_R = -0.5;
    a.genOnL = 0;
    a.genOnR = 1;
    a.dualTfunc = 2;
    a.phaseL = 90;
    a.phaseR = -45;
    a.MLSsize = 15;
    a.OShotsamples = 7;
    a.AnzWave = 33;
    a.repTime_ms = 250;
    a.Conti = 1;
    a.modeR = 10;
    setRecordText(a.ufname, QString::fromUtf8("/home/ö/a b.wav"));
    a.wPlaysnd = 1;
    a.AnaVol = 80;
    setRecordText(a.WaF.functionStr, "sin(f1)*a");
    setRecordText(a.WaF.VnameStr, "F1;A");
    setRecordText(a.WaF.VvalueStr, "1000;0,5");

    TMemIniFile out;
    out.setFloatLocale(QLocale(QLocale::German, QLocale::Germany));
    saveOSound(out, a);
    TwaveGI gi{};
    gi.OneShotTime_samps = 9000;
    gi.Mode = 0;
    gi.wfs.mono = 1;
    saveISound(out, gi, TSoundFormatInfo{44100, 48000, 16, 24, false, true});
    EXPECT_EQ(out.ReadString("OSOUND", "GenFreqR", ""), "1234,5") << "the user's locale form";
    EXPECT_EQ(out.ReadString("ISOUND", "oSF", ""), "48000");
    EXPECT_EQ(out.ReadInteger("ISOUND", "oDB", 0), 24);
    EXPECT_TRUE(out.ReadBool("ISOUND", "oWDM", false));
    EXPECT_FALSE(out.ReadBool("ISOUND", "iWDM", true));
    EXPECT_EQ(out.ReadSection("OSOUND").size(), 28);

    TMemIniFile back;
    back.setFloatLocale(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_TRUE(back.setText(out.text()));
    TwaveGO b = record(gmSine);
    loadOSound(back, b);
    const double d[][2] = {{a.GenFreqR, b.GenFreqR}, {a.GenFreqL, b.GenFreqL}, {a.voldB_L, b.voldB_L},
                           {a.voldB_R, b.voldB_R}, {a.secfreqR, b.secfreqR}, {a.secfreqL, b.secfreqL},
                           {a.secvoldB_L, b.secvoldB_L}, {a.secvoldB_R, b.secvoldB_R},
                           {a.outdB_L, b.outdB_L}, {a.outdB_R, b.outdB_R}};
    for (const auto& p : d) EXPECT_NEAR(p[0], p[1], 1e-12);
    EXPECT_EQ(QList<int>({b.genOnL, b.genOnR, b.dualTfunc, b.phaseL, b.phaseR, b.MLSsize, b.OShotsamples,
                          b.AnzWave, b.repTime_ms, b.Conti, b.modeL, b.modeR, b.wPlaysnd, b.AnaVol}),
              QList<int>({a.genOnL, a.genOnR, a.dualTfunc, a.phaseL, a.phaseR, a.MLSsize, a.OShotsamples,
                          a.AnzWave, a.repTime_ms, a.Conti, a.modeL, a.modeR, a.wPlaysnd, a.AnaVol}));
    EXPECT_EQ(recordText(b.ufname), recordText(a.ufname));
    EXPECT_EQ(recordText(b.WaF.functionStr), "sin(f1)*a");
    EXPECT_EQ(recordText(b.WaF.VnameStr), "F1;A");
    EXPECT_EQ(recordText(b.WaF.VvalueStr), "1000;0,5");

    TwaveGI gi2{};
    gi2.Mode = 7;
    TMemIniFile tampered;
    ASSERT_TRUE(tampered.setText(out.text() + "[ISOUND]\noSF=x\n"));
    loadISound(tampered, gi2);
    EXPECT_EQ(gi2.OneShotTime_samps, 9000);
    EXPECT_EQ(gi2.Mode, 0);
    EXPECT_TRUE(gi2.wfs.mono);
}

TEST(TGenerator, BadStoredValues)
{
    // Unreadable, non-finite and overlong numbers keep the defaults.
    const TwaveGO go = loaded("[OSOUND]\nGenFreqR=fast\nGenFreqL=nan\nvolL=inf\nMLSsize=12.5\n"
                              "OShotsamples=99999999999\nAnzWave=\nModeL=3x\ngenOnL=maybe\n");
    EXPECT_EQ(go.GenFreqR, 1000.0);
    EXPECT_EQ(go.GenFreqL, 1000.0);
    EXPECT_EQ(go.voldB_L, 0.0);
    EXPECT_EQ(go.MLSsize, 12);
    EXPECT_EQ(go.OShotsamples, 1);
    EXPECT_EQ(go.AnzWave, 10);
    EXPECT_EQ(go.modeL, 0);
    EXPECT_TRUE(go.genOnL);

    // A repeat time below 10 ms loads as 1000; 10 stays.
    EXPECT_EQ(loaded("[OSOUND]\nrepTime=5\n").repTime_ms, 1000);
    EXPECT_EQ(loaded("[OSOUND]\nrepTime=-20\n").repTime_ms, 1000);
    EXPECT_EQ(loaded("[OSOUND]\nrepTime=10\n").repTime_ms, 10);

    // Texts far longer than their fields are cut, terminated, and the fields after them intact.
    const QString huge(100000, QChar(0x20AC)); // 3 bytes each in UTF-8
    const TwaveGO h = loaded("[OSOUND]\nufname=" + huge + "\nWAFfuncstr=" + huge + "\nWAFvnamestr=" + huge +
                             "\nWAFvaluestr=" + huge + "\noutdBL=-4\nAnaVol=55\n");
    EXPECT_EQ(recordText(h.ufname).size(), (VL_UFNAME_LEN - 1) / 3);
    EXPECT_EQ(h.ufname[VL_UFNAME_LEN - 1], 0);
    EXPECT_EQ(h.WaF.functionStr[VL_TWAF_FUNC_LEN - 1], 0);
    EXPECT_EQ(recordText(h.WaF.VvalueStr).size(), (VL_TWAF_LIST_LEN - 1) / 3);
    EXPECT_EQ(h.outdB_L, -4.0);
    EXPECT_EQ(h.AnaVol, 55);
}

TEST(TGenerator, StoredFormulaInSynthesisModeGoesToTheCheck)
{
    int asked = 0;
    QString seen;
    auto check = [&](double result) {
        return TFormulaCheck([&, result](TWaf& w) {
            ++asked;
            seen = recordText(w.functionStr);
            return result;
        });
    };
    bool accepted = false;
    const QString ini = "[OSOUND]\nModeL=12\nWAFfuncstr=sin(f1)\nWAFvnamestr=F1\nWAFvaluestr=440\n";
    loaded(ini, check(1.0), &accepted);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(seen, "sin(f1)");
    loaded(ini, check(0.999), &accepted);
    EXPECT_FALSE(accepted) << "only exactly 1 accepts";
    const TwaveGO rejected = loaded(ini, check(-1.0), &accepted);
    EXPECT_EQ(recordText(rejected.WaF.functionStr), "sin(f1)") << "the record keeps the formula read";
    asked = 0;
    loaded("[OSOUND]\nModeL=0\nWAFfuncstr=sin(f1)\n", check(1.0), &accepted);
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(accepted);
}

// ---- description of the measuring mode ----------------------------------------------------------

TEST(TGenerator, ModePanelDescribesTheImpulseSignal)
{
    cFFTdat fft;
    fft.SamplesFFT = 16384;
    TwaveGO go = record(gmDirac);
    go.OShotsamples = 3;
    const QString sig = impulseSignalText(&go, false, fft.SamplesFFT);
    EXPECT_EQ(sig, "dirac length: 3  FFT: 16384");
    EXPECT_EQ(modePanelText(4, fft, ".", "", false, sig), "B2D diagram with dirac length: 3  FFT: 16384  .Setup:  default");
    setMode(go, gmMLS);
    go.MLSsize = 14;
    EXPECT_EQ(modePanelText(5, fft, ";", "/p/x.atp", false, impulseSignalText(&go, false, 16384)),
              "B3D diagram with MLS size: 14  FFT: 16384  ;Setup: x.atp");
    setMode(go, gmBurst);
    setFrequency(go, 999.6);
    go.AnzWave = 5;
    EXPECT_EQ(impulseSignalText(&go, false, 4096), "Burst Freq/Waves: 1000/5  FFT: 4096");
    setMode(go, gmSine);
    EXPECT_EQ(impulseSignalText(&go, false, 4096), "");
    EXPECT_EQ(impulseSignalText(nullptr, false, 4096), "");

    fft.asyncIps = true;
    EXPECT_EQ(modePanelText(4, fft, ".", "", true, impulseSignalText(&go, true, 4096), true),
              "BAsync Impulse measurement ext. Impulse  .Setup:  default  [Correction File active]"
              "  [Pink Noise Filter active]");
    EXPECT_EQ(modePanelText(6, fft, ".", "", false), "BImpedance magnitude  .Setup:  default");
    EXPECT_EQ(modePanelText(8, fft, ".", "", false), "BThiele Small Parameter .Setup:  default");
    EXPECT_EQ(modePanelText(9, fft, ".", "", false), "BOscilloscope .Setup:  default");
    EXPECT_EQ(modePanelText(10, fft, ".", "", false, "", true),
              "BPower Distortion Measurement Setup:  default  [Pink Noise Filter active]");
    EXPECT_EQ(modePanelText(11, fft, ".", "a/b.atp", false), "BRT60 Measurement Setup: b.atp");
    EXPECT_TRUE(modePanelText(12, fft, ".", "", false).startsWith("B2D FFT [16384 Points, Window: "));
    EXPECT_TRUE(modePanelText(2, fft, ".", "", false).startsWith("B3D FFT [16384 Points"));
}

// ---- the main window's parameter editor ---------------------------------------------------------

TEST(TGenParamEditor, DisplayPerMode)
{
    LocaleGuard g;
    QLocale::setDefault(QLocale::c());
    TwaveGO go = record(gmSine);
    setFrequency(go, 440.5);
    TGenEditorView v = TGenParamEditor::display(go);
    EXPECT_TRUE(v.visible);
    EXPECT_EQ(v.text, "440.5000");
    EXPECT_EQ(v.modeName, "sine");
    EXPECT_EQ(v.unit, "Freq. (Hz)");
    for (int m : {gmWhiteNoise, gmPinkNoise, gmRaw, gmSoundFile}) {
        setMode(go, m);
        EXPECT_FALSE(TGenParamEditor::display(go).visible) << m;
    }
    setRecordText(go.ufname, "/snd/voice.wav");
    EXPECT_EQ(TGenParamEditor::display(go).hint, "/snd/voice.wav");
    setMode(go, gmUserWave);
    EXPECT_TRUE(TGenParamEditor::display(go).keepText);
    setMode(go, gmSynthesis);
    setRecordText(go.WaF.functionStr, "sin(f1)");
    v = TGenParamEditor::display(go);
    EXPECT_TRUE(v.readOnly);
    EXPECT_EQ(v.text, "sin(f1)");
    setMode(go, 77);
    EXPECT_EQ(TGenParamEditor::display(go).modeName, "unknown");

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    setMode(go, gmDualSine);
    setFrequency(go, 12345.25);
    EXPECT_EQ(TGenParamEditor::display(go).text, "12345,2500") << "no group separator";
}

TEST(TGenParamEditor, DiracWidthTypingAndArrows)
{
    TwaveGO go = record(gmDirac);
    EXPECT_TRUE(TGenParamEditor::typed(go, "0", 48000));
    EXPECT_EQ(go.OShotsamples, 1);
    EXPECT_TRUE(TGenParamEditor::typed(go, " 1 00 ", 48000)) << "blanks are removed";
    EXPECT_EQ(go.OShotsamples, 40);
    EXPECT_TRUE(TGenParamEditor::typed(go, "-5", 48000));
    EXPECT_EQ(go.OShotsamples, 1);
    EXPECT_FALSE(TGenParamEditor::typed(go, "2.5", 48000));
    EXPECT_FALSE(TGenParamEditor::typed(go, "", 48000));
    EXPECT_EQ(go.OShotsamples, 1);
    go.OShotsamples = 40;
    TGenParamEditor::step(go, +1);
    EXPECT_EQ(go.OShotsamples, 41) << "the arrows go up to 400";
    go.OShotsamples = 400;
    EXPECT_FALSE(TGenParamEditor::step(go, +1));
    EXPECT_EQ(go.OShotsamples, 400);
    go.OShotsamples = 1;
    EXPECT_FALSE(TGenParamEditor::step(go, -1));
    EXPECT_EQ(go.OShotsamples, 1);
}

TEST(TGenParamEditor, MLSOrderNeverReaches13ThroughTheArrows)
{
    TwaveGO go = record(gmMLS);
    go.MLSsize = 12;
    TGenParamEditor::step(go, +1);
    EXPECT_EQ(go.MLSsize, 14);
    TGenParamEditor::step(go, -1);
    EXPECT_EQ(go.MLSsize, 12);
    TGenParamEditor::step(go, -1);
    EXPECT_EQ(go.MLSsize, 12);
    go.MLSsize = 16;
    TGenParamEditor::step(go, +1);
    EXPECT_EQ(go.MLSsize, 16);
    go.MLSsize = 5; // from an old settings file
    TGenParamEditor::step(go, +1);
    EXPECT_EQ(go.MLSsize, 12);

    // Typing: only 12..16; 13 turns into the neighbour away from the current order.
    go.MLSsize = 14;
    EXPECT_TRUE(TGenParamEditor::typed(go, "13", 48000));
    EXPECT_EQ(go.MLSsize, 12);
    EXPECT_TRUE(TGenParamEditor::typed(go, "13", 48000));
    EXPECT_EQ(go.MLSsize, 14);
    go.MLSsize = 15;
    EXPECT_TRUE(TGenParamEditor::typed(go, "13", 48000));
    EXPECT_EQ(go.MLSsize, 13) << "with 15 the typed order is taken as it is";
    EXPECT_FALSE(TGenParamEditor::typed(go, "1", 48000)) << "the first digit of 16 is ignored";
    EXPECT_FALSE(TGenParamEditor::typed(go, "17", 48000));
    EXPECT_EQ(go.MLSsize, 13);
}

TEST(TGenParamEditor, FrequencyTypingIsBoundByTheRateArrowsAreNot)
{
    LocaleGuard g;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TwaveGO go = record(gmBurst, 48000);
    EXPECT_TRUE(TGenParamEditor::typed(go, "440,5", 48000));
    EXPECT_EQ(go.GenFreqR, 440.5);
    EXPECT_EQ(go.GenFreqL, 440.5);
    EXPECT_TRUE(TGenParamEditor::typed(go, "48000", 48000));
    EXPECT_FALSE(TGenParamEditor::typed(go, "48001", 48000));
    EXPECT_FALSE(TGenParamEditor::typed(go, "0", 48000));
    EXPECT_FALSE(TGenParamEditor::typed(go, "abc", 48000));
    EXPECT_EQ(go.GenFreqR, 48000.0);
    TGenParamEditor::step(go, +1);
    EXPECT_EQ(go.GenFreqR, 48001.0);
    EXPECT_EQ(go.GenFreqL, 48001.0);
    setFrequency(go, 1.0);
    EXPECT_FALSE(TGenParamEditor::step(go, -1)) << "never down to 0 Hz";
    EXPECT_EQ(go.GenFreqR, 1.0);

    for (int m : {gmWhiteNoise, gmPinkNoise, gmUserWave, gmRaw, gmSoundFile, gmSynthesis}) {
        setMode(go, m);
        EXPECT_FALSE(TGenParamEditor::typed(go, "100", 48000)) << m;
        EXPECT_FALSE(TGenParamEditor::step(go, 1)) << m;
        EXPECT_EQ(go.GenFreqR, 1.0);
    }
}
