// The calibration dialog's rules without its window: voltage history, entry parsing, sensitivity units, the level read-out.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

class TMemIniFile;

namespace eich {

// The voltage at the front of a history entry: the leading run of digits and decimal separators
// ("775 comment" -> 775, "0,5 V" -> 0.5); nothing when there is no leading number or it does
// not convert. Everything after the number is the user's comment.
std::optional<double> leadingVoltage(const QString& entry);

// Section "EichCombo", keys "Combo0", "Combo1", ... in list order. Reading stops at the first
// missing key; entries without a leading number are skipped. Saving replaces the section.
QStringList loadHistory(const TMemIniFile& ini);
void saveHistory(TMemIniFile& ini, const QStringList& entries);

// The entry to show for the current INPUT (mV): the first whose leading number is that value or
// which contains it as "%1.2f"; else that text itself.
QString entryFor(const QStringList& entries, double input_mV);

// Microphone sensitivity in mV/Pa as dB re 1 V/Pa: 20*log10(mV/1000); 0 when that fails.
double sensitivityToDb(double mVpPa);
double sensitivityFromDb(double dB); // mV/Pa
// The field texts ("%1.2f") of the other unit, or nothing when text does not convert.
std::optional<QString> dbTextForMv(const QString& mvText);
std::optional<QString> mvTextForDb(const QString& dbText);

// The level read-out of one block of each input channel.
struct TLevelReadout {
    QString text; // "over L/R: 3 / 0", "sample error" or "  45.1%"
    bool red = false;
};
// overload and sampleError come from the module's status (bits 0x4 and 0x8, code 33 not an
// error); the overload counts are each channel's samples at full scale in the block.
// The level is the larger channel's average-responding reading scaled so a full-scale sine
// reads 100 %: pi/2 * 100 * mean(|x|).
TLevelReadout levelReadout(const double* left, const double* right, int32_t samples, bool overload,
                           bool sampleError);
// The activity mark after `mark`: "O" -> "o" -> "+" -> "O".
QString nextActivityMark(const QString& mark);

// What OK decides.
enum class eOkCheck : uint8_t {
    okAccept,     // store the voltage and close
    okNotStarted, // "Calibration process not started": stay, restart the acquisition
    okBadVoltage, // "Not a valid voltage value": stay
};
// state: the calibration state (2 = a block was measured).
eOkCheck checkOk(int state, const QString& entry);

} // namespace eich
