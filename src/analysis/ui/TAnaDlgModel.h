// What the analysis dialog shows and checks: band, weighting, fundamental, harmonics, result lines.
#pragma once

#include "analysis/AnalysePara.h"

#include <QString>

// The dialog's fields over the analysis settings: edit texts as typed, switches as set.
// GUI thread only.
class TAnaDlgModel {
public:
    // Checks in the order OK runs them; the first that fails is reported.
    enum Check { FreqLow, FreqHigh, FreqOrder, Fundamental, Threshold, Valid };

    static constexpr uint32_t kHarmonics = 0x1FE; // H2..H9 in Hx
    static constexpr int kTextSizeMin = 7;        // result text size, points
    static constexpr int kTextSizeMax = 144;

    // The fields of ana. The fundamental field shows the manual fundamental, or, while the
    // search is on, the fundamental last measured (`measured`, Hz, when > 0), which becomes the
    // manual one when the search is switched off.
    void load(const cAnaPara& ana, double measured = 0.0);
    // The first check that fails, or Valid.
    Check validate() const;
    // The warning of a failed check in English or German; empty for Valid.
    static QString message(Check c, bool german);
    // Stores the fields (only when validate() is Valid; false otherwise, nothing changed).
    // The threshold in dB (<= 0) becomes fFundlow = 10^(dB/20); iMeasLines is recounted.
    bool store(cAnaPara& ana) const;

    QString freqLow;        // Hz, integer
    QString freqHigh;       // Hz, integer
    QString filter;         // weighting filter name
    QString userFile;       // correction file of "USER"
    bool fundAuto = true;   // search the fundamental
    QString fundamental;    // manual fundamental, Hz, integer
    QString thresholdDb;    // fundamental threshold, dB, <= 0
    uint32_t harmonics = 0; // H2..H9 as bits 1..8
    bool thd = false;       // all harmonics (H2..H9 set and locked)
    bool noise = false;     // bit 0 of Hx
    bool percent = false;   // distortion in %
    bool filterFFT = false; // weighting also on the diagram
    bool level = false, distortion = false, im = false, signalNoise = false, modDist = false,
         wowFlutter = false;                                  // result lines
    bool textLeft = false, textRight = false, details = true; // result text
    int textSize = 10;                                        // points, 7..144
};
