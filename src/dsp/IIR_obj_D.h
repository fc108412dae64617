// IIR filter design: one configurable filter as a cascade of up to seven biquads, and its running state.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// What Hz() returns.
enum class TSubject : uint8_t {
    Betrag,        // magnitude, linear (1 = 0 dB)
    Phase,         // phase in radians, the sum of the sections' phases (not wrapped to +-pi)
    Gruppe,        // group delay in seconds
    Phlaufzeit,    // phase delay in seconds: -phase / (2*pi*f)
    Realteil,      // real part of the complex response
    ImaginaerTeil, // imaginary part of the complex response
    Kartesisch     // the real part; use Hz_Complex() for both parts at once
};

// Filter types (the value of Ftyp).
enum TIIRTyp : uint8_t {
    iirFlat = 0, iirSL = 1, iirSH = 2, iirPK = 3, iirTP = 4, iirHP = 5, iirBP = 6, iirBS = 7,
    iirAP = 8, iirLDL = 9, iirLGL = 10, iirLDH = 11, iirLGH = 12, iirATP = 13
};

// Prototype characteristics of types TP, HP, BP, BS and ATP (the value of FFilterChar).
enum TIIRChar : uint8_t {
    chButterworth = 0, chBessel = 1, chBessel3dB = 2, chTschebyscheff = 3, chCritAtt = 4,
    chCritAtt3dB = 5, chFreeAtt = 6
};

// One set of parameter limits (inclusive).
struct TIIRLimits {
    double freqMin, freqMax;   // Hz
    double gainMin, gainMax;   // dB
    double qMin, qMax;         // quality factor
    double amaxMin, amaxMax;   // Tschebyscheff ripple, dB (negative)
    double ratioMin, ratioMax; // corner ratio of LDL/LGL/LDH/LGH
    double attMin, attMax;     // damping of the free-attenuation characteristic
};

constexpr int kIIRMaxBiquads = 7; // sections of one filter
constexpr int kIIRMaxOrder = 14;  // 2 * kIIRMaxBiquads

// Analog section H(s) = (N0 + N1*s + N2*s^2) / (D0 + D1*s + D2*s^2), s in rad/s.
struct TBIQSection {
    double N0 = 0, N1 = 0, N2 = 0; // numerator
    double D0 = 0, D1 = 0, D2 = 0; // denominator
};
using TBIQ = TBIQSection[kIIRMaxBiquads];

// Digital section: y[k] = b0*x[k] + b1*x[k-1] + b2*x[k-2] + a1*y[k-1] + a2*y[k-2]
// (the feedback coefficients carry the sign with which they are added).
struct TIIRSection {
    double a1 = 0, a2 = 0;         // feedback
    double b0 = 1, b1 = 0, b2 = 0; // feed-forward
};
using TIIR = TIIRSection[kIIRMaxBiquads];

// The same as signed 32-bit fractions (value * 2^31), scaled by the export norm.
struct TIIRSection32 {
    int32_t a1 = 0, a2 = 0;
    int32_t b0 = 0, b1 = 0, b2 = 0;
};
using TIIR32 = TIIRSection32[kIIRMaxBiquads];

// One IIR filter: type, characteristic, order (1..14), frequency (Hz), gain (dB), Q, ratio,
// ripple (dB) and damping. Every setter stores its value and redesigns at once: analog
// prototype -> analog sections (BIQ) -> bilinear transform at this filter's design sample
// rate -> digital sections (IIR). NewCycle() then filters one sample at a time.
//
// Threads: design (setters, ParamUpdate, CopyFrom, SetParam) is for one thread at a time,
// normally the GUI thread; a design whose analog sections lack a pole keeps the warning
// "analoge function without pole !" in DesignWarning() for the owner to show. NewCycle/NewCycleBlock/ClearData never lock, allocate or report and may
// run on the audio thread, but not concurrently with a redesign of the same object (the filter
// blocks hand over whole copies). No Qt in this class; INI storage is in IIR_objIni.h.
class TIIRObj {
public:
    // The rate a new filter is designed at, Hz; stored filter files carry no rate.
    static constexpr double kDefaultDesignSampleRate = 48000.0;

    // The two limit sets: the default set, and the wide set of the filter editor.
    static const TIIRLimits& DefaultLimits();
    static const TIIRLimits& WideLimits();

    // Defaults: Flat, 1000 Hz, 0 dB, Q 1, order 2, Butterworth, Amax -3.1 dB, Att 1,
    // Ratio 1.4142, not bypassed, designed at kDefaultDesignSampleRate.
    TIIRObj();
    // Back to the construction defaults (design rate, design and delay line included).
    void Create();
    // Parameters, design rate and design of Source; the delay line is cleared.
    void CopyFrom(const TIIRObj& Source);

    // The design from the current parameters (the order is first made valid by GetValidOrder).
    void ParamUpdate();

    // Sets everything at once: T type, n order, f Hz, g dB, q, r ripple dB, d damping,
    // c characteristic. Invalid values are replaced by defaults (see the .cpp); true only when
    // every value was valid and the order did not have to be changed. Always designs.
    bool SetParam(int T, int n, double f, double g, double q, double r, double d, int c);
    // The order that type ATyp with characteristic AChar allows for the wish AGrad.
    int GetValidOrder(int ATyp, int AGrad, int AChar) const;

    void SetTyp(uint8_t v);
    void SetGrad(uint8_t v);
    void SetFilterChar(uint8_t v);
    void SetFreq(double hz);
    void SetGain(double db);
    void SetQ(double v);
    void SetRatio(double v);
    void SetAmax(double db);
    void SetAtt(double v);
    void SetBypassed(bool v);
    void SetHWbiquads(uint8_t v); // 1..7; the order is limited to twice this
    // The sample rate (Hz) this filter is designed for and runs at; redesigns when it changes.
    // Values <= 0 or not finite are ignored.
    void SetDesignSampleRate(double fs);
    // Which limit set SetParam and the INI reader check this filter's values against (the
    // editor switches the filters it edits to the wide set). Copied with the filter.
    void UseWideLimits(bool wide) { FWideLimits = wide; }
    const TIIRLimits& Limits() const { return FWideLimits ? WideLimits() : DefaultLimits(); }

    uint8_t Typ() const { return Ftyp; }
    uint8_t Grad() const { return FGrad; }
    uint8_t FilterChar() const { return FFilterChar; }
    double Freq() const { return Ffreq; }
    double Gain() const { return Fgain; }
    double Q() const { return Fq; }
    double Ratio() const { return FRatio; }
    double Amax() const { return Famax; }
    double Att() const { return FAtt; }
    bool Bypassed() const { return FBypassed; }
    uint8_t HWbiquads() const { return FHWbiquads; }
    double DesignSampleRate() const { return Ffs; } // Hz
    double DesignT() const { return 1.0 / Ffs; }    // sampling interval, seconds
    // The warning of the last design ("analoge function without pole !"), "" when it had none.
    const char* DesignWarning() const { return FWarning; }
    uint8_t Biquads() const { return FBiquads; } // sections in use, 1..7
    uint8_t Ntp() const { return FNtp; }         // prototype poles
    double Wtr() const { return FWtr; }          // prewarped corner, rad/s
    double Gtr() const { return FGtr; }          // prewarped relative bandwidth
    double A0split() const { return FA0split; }  // prototype gain per section
    const std::complex<double>* Poles() const { return Fpol; } // normalised prototype poles
    const TBIQ& Biq() const { return BIQ; }
    const TIIR& Iir() const { return IIR; }
    const TIIR32& Iir32() const { return IIR32; }

    // Filters one sample (direct form I, shared nodes). Audio thread. Input and section outputs
    // of magnitude below 1e-30 are stored as 0, so a decaying filter never computes with
    // denormal numbers (which cost 10..100 times more) whatever the thread's FTZ/DAZ setting.
    double NewCycle(double Sample) noexcept;
    // The same over a block; in and out may be the same buffer. Equal, sample for sample, to
    // NewCycle() called n times. Audio thread.
    void NewCycleBlock(const double* in, double* out, size_t n) noexcept;
    void ClearData() noexcept;
    void ClearData32() noexcept;

    // Response at frequency f (Hz) of the digital sections at the design sample rate.
    double Hz(double frequenz, TSubject ASubject) const;
    std::complex<double> Hz_Complex(double frequenz) const;

    // "Lowpass, n=4, f=1000Hz, Butterworth" and "LP 1000Hz".
    std::string GetParameterStr() const;
    std::string GetParameterStrShort() const;
    static const char* TypName(int typ);      // parameter-string name, "" outside 0..13
    static const char* TypShortName(int typ); // short name
    static const char* TypLongName(int typ);  // long name ("" for 9..13)
    static const char* CharName(int c);       // "Butterworth, " ...

    // Coefficient export. Each writes Biquads() sections into out and returns the number of
    // values written, or 0 (nothing written) when out is too small.
    // b0, b1, b2, a1, a2 per section as floats.
    size_t GetCoeff_Single(std::span<float> out) const;
    // b1/b0, b2/b0, a1, a2 per section as floats (b0 of each section goes to GetCoeff_4_Scaler).
    size_t GetCoeff_4_Single(std::span<float> out) const;
    // The product of the sections' b0: the gain a 4-coefficient DSP applies once.
    double GetCoeff_4_Scaler() const;
    // b1, b0, b2, a1, a2 per section, each / norm as a 32-bit fraction (saturating). Also fills
    // Iir32(). norm > 0.
    size_t GetCoeff_32(std::span<int32_t> out, double norm = 1.0);
    // The same with the feedback coefficients negated (for DSPs that subtract them).
    size_t GetCoeff_32_i(std::span<int32_t> out, double norm = 1.0);
    // As above, returning TestCoeff_32(norm); count receives the number of values written.
    bool GetCoeff_32_(std::span<int32_t> out, double norm, size_t* count = nullptr);
    bool GetCoeff_32_i_(std::span<int32_t> out, double norm, size_t* count = nullptr);
    // True when no section has a coefficient of magnitude above norm.
    bool TestCoeff_32(double norm) const;
    // One value as a signed 32-bit fraction: |v| >= 1 saturates (1 -> 0x7FFFFFFF, -1 -> 0x80000000).
    static int32_t ToFrac32(double v);

    int32_t Channel = 0;        // channel this filter serves (set by its owner)
    int32_t maxSWbiquadsVg = 7; // sections the software path may use
    uint8_t _norm = 4;          // fixed-point export: coefficient norm
    uint8_t _shift = 2;         // fixed-point export: shift that undoes the norm

private:
    void designPrototype();
    void prototypeButterworth(int n);
    void prototypeBessel(int n, bool minus3dB);
    void prototypeTschebyscheff(int n);
    void prototypeCritical(int n, bool minus3dB);
    void prototypeFree(int n);
    void gainFromPoles(int n, double extraDivisor);
    void sectionsLowHigh(bool high);
    void sectionsBandPass();
    void sectionsBandStop();
    void sectionsAllPassFromLowPass();
    void sectionsSingle();
    void sectionShelving(bool high);
    void sectionPeak();
    void checkPoles();
    void bilinear();
    size_t exportFrac(std::span<int32_t> out, double norm, bool negateFeedback);

    double Ffs = kDefaultDesignSampleRate; // design sample rate, Hz
    bool FWideLimits = false; // the editor's wide limit set is in force
    const char* FWarning = "";  // warning of the last design, "" for none
    uint8_t Ftyp = 0;         // filter type 0..13
    double Ffreq = 1000.0;    // corner or centre frequency, Hz
    double Fgain = 0.0;       // gain of shelving and peak, dB
    double Fq = 1.0;          // quality factor of peak, band-pass and band-stop
    uint8_t FGrad = 2;        // order 1..14
    double Famax = -3.1;      // Tschebyscheff pass-band ripple, dB (negative)
    double FAtt = 1.0;        // damping of the free-attenuation characteristic
    uint8_t FFilterChar = 0;  // characteristic 0..6
    bool FBypassed = false;   // true: identity sections
    uint8_t FNtp = 0;         // prototype poles in use
    double FWtr = 0.0;        // prewarped corner, rad/s
    double FGtr = 0.0;        // prewarped relative bandwidth from Q
    double FA0split = 1.0;    // prototype gain share per section
    double FRatio = 1.4142;   // corner ratio of types 9..12
    std::complex<double> Fpol[kIIRMaxOrder]; // upper poles of the pairs, then the real pole
    uint8_t FBiquads = 1;     // sections in use: (order + 1) / 2
    uint8_t FHWbiquads = 6;   // sections of the target hardware
    double FData[kIIRMaxBiquads + 1][3] = {}; // node k: newest, previous, oldest value
    int64_t FData32[kIIRMaxBiquads + 1][3] = {}; // delay line of the fixed-point variant
    TBIQ BIQ;                 // analog sections
    TIIR IIR;                 // digital sections
    TIIR32 IIR32;             // digital sections as 32-bit fractions (last GetCoeff_32)
};
