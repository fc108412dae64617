// The output generator over the module's TwaveGO record: mode names, signal length, capabilities,
// record texts, and the "OSOUND"/"ISOUND" settings.
#pragma once

#include "soundDLLTypes.h"

#include <QString>
#include <cstddef>
#include <functional>

class TMemIniFile;

namespace vlgen {

// Generator modes (values of TwaveGO.modeL / modeR).
enum eGenMode : int {
    gmSine = 0, gmSquare = 1, gmWhiteNoise = 2, gmPinkNoise = 3, gmUserWave = 4, gmDirac = 5,
    gmMLS = 6, gmBurst = 7, gmTriangle = 8, gmRaw = 9, gmDualSine = 10, gmSoundFile = 11,
    gmSynthesis = 12
};

// Capability bits of the module's status word, read each time the generator dialog opens.
enum : int32_t {
    capSynthesis = 0x4000,         // wave synthesis supported
    capSoundFile = 0x8000,         // sound file output supported
    capOutFilterWithFile = 0x800,  // output filter supported together with sound file output
};

// Display name of a generator mode ("unknown" for values outside 0..12).
QString modeName(int mode);
// Unit label of the main window's parameter editor ("Freq. (Hz)", "samples", "order" or empty).
QString unitLabel(int mode);
// True for the modes whose parameter is a frequency (0, 1, 7, 8, 10).
bool isFrequencyMode(int mode);

// Output sample rate of the record's format (Hz; 0 when the module left it empty).
int outRate(const TwaveGO& go);
// Length of one impulse-like signal in ms at `rate` Hz: dirac, MLS and burst; 0 for every other
// mode, for a rate <= 0 and for a burst of a frequency <= 0.
double signalLength_ms(const TwaveGO& go, double rate);

// Both channels at once: the dialog and the editor always set them together.
void setMode(TwaveGO& go, int mode);
void setFrequency(TwaveGO& go, double hz);
void setLevel(TwaveGO& go, double dBFS);
void setSecondFrequency(TwaveGO& go, double hz);
void setSecondLevel(TwaveGO& go, double dBFS);

// Text held in a fixed-size record array: read up to the first NUL or the end of the array
// (never past it), decoded as UTF-8.
QString recordText(const char* field, size_t capacity);
template <size_t N> QString recordText(const char (&field)[N]) { return recordText(field, N); }
// Writes text as UTF-8 into a fixed-size array: cut at a whole character so that it fits with
// its terminating NUL, the rest of the array zeroed. Returns false when the text was cut.
bool setRecordText(char* field, size_t capacity, const QString& text);
template <size_t N> bool setRecordText(char (&field)[N], const QString& text)
{
    return setRecordText(field, N, text);
}

// Numbers as the user sees them: the user's locale's decimal separator, no group separators.
QString formatFixed(double v, int decimals);
// Reads a number typed by the user: blanks removed, the locale's separator or "." accepted.
// False (v unchanged) for empty or unreadable text and for infinities and NaN.
bool parseNumber(const QString& text, double& v);
// A whole number: as parseNumber, but only integers (no fraction part) within the int range.
bool parseWholeNumber(const QString& text, int& v);

// Formats of the module's two directions, written to "ISOUND" for information only.
struct TSoundFormatInfo {
    int inRate = 0;      // Hz
    int outRate = 0;     // Hz
    int inBits = 0;      // bit depth
    int outBits = 0;
    bool inWDM = false;  // extensible format
    bool outWDM = false;
};

// Asked for a formula read from the settings while the generator is in synthesis mode; the
// formula is accepted by the synthesis dialog only when the result is exactly 1.
using TFormulaCheck = std::function<double(TWaf&)>;

// Reads "OSOUND" into go: every key with its default; unreadable or non-finite numbers give the
// default; "repTime" below 10 becomes 1000; texts longer than their field are cut. With mode 12
// and a check, the formula is handed to it; returns true when it accepted the formula.
bool loadOSound(const TMemIniFile& ini, TwaveGO& go, const TFormulaCheck& check = {});
// Reads "ISOUND" into gi (OneShotTime_samps, Mode, wfs.mono). The informational keys are not read.
void loadISound(const TMemIniFile& ini, TwaveGI& gi);
// Writes every key of "OSOUND" (floats in the INI's locale form).
void saveOSound(TMemIniFile& ini, const TwaveGO& go);
// Writes "ISOUND" with the informational keys iSF, oSF, iDB, oDB, iWDM, oWDM.
void saveISound(TMemIniFile& ini, const TwaveGI& gi, const TSoundFormatInfo& info);

// The message shown when the settings file cannot be written at shutdown (title "Error").
QString iniWriteFailureText(const QString& fileName);

// The signal part of the impulse measurement's description (measuring modes 4 and 5):
// "ext. Impulse", the dirac width, the MLS order or the burst frequency and waves, each with
// the FFT size; empty for the other generator modes and without a record.
QString impulseSignalText(const TwaveGO* go, bool externalImpulse, int fftSize);

} // namespace vlgen
