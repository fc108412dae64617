// The main window's settings: sections "General" and "MAIN", and the per-user set "VOLUME", "EICH".
#pragma once

#include "analysis/AnalysePara.h"

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>

class TMemIniFile;
struct vlVersion;

// Everything the main window keeps in the main settings file, read with defaults and clamps.
// The correction file names and flags of "MAIN" belong to the correction set, which reads and
// writes its own keys. Plain data; GUI thread only.
struct TMainSettings {
    static constexpr uint32_t kColForm = 0xC0DCC0;     // window colour (0x00BBGGRR)
    static constexpr uint32_t kColSoundOff = 0xF0F0F0; // button colour while stopped
    static constexpr uint32_t kColSoundOn = 0xD0FF90;  // button colour while running
    static constexpr double kMicSensDefault = 14.0;    // mV/Pa

    // ---- "MAIN"
    bool bFirstStart = true;     // the program has never been closed with these settings
    char textSep = ';';          // column separator of text files (' ' for "BLANK")
    bool AutoNamed = false;      // automatic names for text and picture exports
    int left = 200;              // window position, pixels (virtual desktop)
    int top = 200;
    int moni = 0;                // screen nearest to the window's top-left corner
    int wstate = 0;              // 0 normal, 1 minimised, 2 maximised
    int MDiaInMWwidth = 720;     // window size, pixels
    int MDiaInMWheight = 564;
    int measuringmode = 1;       // mode to start in (always 1..11 after reading)
    bool nahConti = false;       // impulse measurement runs continuously
    QString SoundDLLname;        // sound module file name
    QString cfgATPname;          // preset the file was saved from (preset files only)
    QString AsTextFname;         // last text export
    QString AsDiaFname;          // last picture export
    QString AsInCorFname;        // last input correction file
    QString AsOutCorFname;       // last output correction file
    uint32_t COLFORM = kColForm; // window colour
    uint32_t COLSOUNDOFF = kColSoundOff;
    uint32_t COLSOUNDON = kColSoundOn;
    double FRAMERESOL_ms = 100.0; // shortest time between two analysed blocks, ms (> 20)
    int ProcessPrio = -1;         // stored process priority setting, -1 when absent
    int IODlgLink = 0;            // 0, or 10 when the module's in/out dialogs are linked
    bool bTimeDebug1 = false;     // show the pass time of each analysis

    // ---- "VOLUME"
    int FGoutVolume = 20;   // output volume track bar, 0..100
    int FGinVolume = 100;   // input volume track bar, 0..100
    int AudioInChannel = 0; // selected mixer input channel

    // ---- "EICH" (besides the calibration record)
    int InMixLev4Cal = -1; // mixer input level used for calibration, -1 unknown

    // Reads "MAIN". nahConti must hold the analysis settings' current value (its default).
    void readMain(const TMemIniFile& ini, const QString& dataFolder, const QString& defaultDLL);
    void writeMain(TMemIniFile& ini) const;
    // The per-user set: "VOLUME" and "EICH"; missing or -1 calibration values keep cal's.
    void readPerUser(const TMemIniFile& ini, TLevelCalibration& cal);
    void writePerUser(TMemIniFile& ini, const TLevelCalibration& cal) const;
};

// "General": product name, version parts and the save time (written only).
void writeGeneralSection(TMemIniFile& ini, const QString& productName, const vlVersion& v,
                         const QString& saveTime);

// The position to open the window at: the stored one when its top-left corner lies on one of
// the screens, allowing the window frame outside the left and top edges and keeping 20 pixels
// inside the right and bottom edges; otherwise 200, 200.
QPoint restoredWindowPos(QPoint stored, const QMargins& frame, const QList<QRect>& screens);
// The window of a first start: 80 % of the screen's available area (at least the window's
// minimum of 590 x 360, at most the area), centred on it.
QRect firstRunWindowRect(const QRect& available);
