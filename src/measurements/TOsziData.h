// The oscilloscope's settings record, its screen colours, the V/div and timebase tables and their INI section.
#pragma once

#include <QString>
#include <cstdint>

class TMemIniFile;

constexpr int32_t kOsziTableMax = 13;       // last index of both tables
constexpr int32_t kOsziDivX = 10;           // divisions across the screen
constexpr int32_t kOsziDivY = 8;            // divisions up the screen

// Volts per division (V) and its label, index 0..13; an index outside is clamped.
double OsziVoltsPerDiv(int32_t idx);
QString OsziVoltsLabel(int32_t idx);
// Seconds per division, index 0..13; index 0 is the X-Y mode (-1).
double OsziTimeBase(int32_t idx);
QString OsziTimeLabel(int32_t idx);
int32_t OsziClampIdx(int32_t idx);

// What the user set on the scope. Positions and the trigger level are fractions of the screen
// height from its top (0) to its bottom (1).
struct TOsziData {
    int32_t PegCha1Idx = 11;        // V/div index of channel 1
    int32_t PegCha2Idx = 11;        // V/div index of channel 2
    int32_t timeBidx = 8;           // timebase index (0 = X-Y)
    bool Cha1On = true, Cha2On = true;   // channels shown
    bool Cha1gnd = false, Cha2gnd = false; // channel input grounded (drawn as zero)
    bool Cha1inv = false, Cha2inv = false; // channel inverted
    double Cha1pos = 0.25, Cha2pos = 0.75; // zero line of each channel
    bool Add12 = false;             // channel 1 shows 1+2, channel 2 is hidden
    int32_t VperDia = 512;          // samples on the screen (set by every frame)
    bool triggAuto = true;          // draw untriggered frames too
    bool triggSlopeP = true;        // rising slope
    bool triggCha1 = true;          // trigger source channel 1 (else 2)
    double triggLev = 0.5;          // trigger level: 0.5 = the source's zero line, 0 = +1 screen, 1 = -1 screen
    bool x10Mag = false;            // horizontal magnification x10
    int32_t LineWidth = 1;          // trace width, pixels 1..20
    double XposBegRel = 0.5;        // which part of a magnified trace shows (0..1)
    bool SinScr = true;             // the screen settings (grid, texts) are drawn
    double Triggdelaytime_s = 0.0;  // picture starts this long before the trigger, s
    bool TriggDelayStore = false;   // delay kept
    bool TriggSingle = false;       // single shot
    bool AutoSampleRate = false;    // choose the input rate from the timebase
};

// Screen colours, 0x00BBGGRR.
struct TosziScreen {
    uint32_t ColCur = 8421504;
    uint32_t ColText = 8421504;
    uint32_t ColDia = 0xFFFF00;
    uint32_t ColLine1 = 0xFF0000;
    uint32_t ColLine2 = 255;
    uint32_t ColGrid = 8421504;
    uint32_t ColInfoText = 0;
};

// Section "oszi": every key in its writing order. Reading clamps what is out of range (indices,
// width, fractions) and replaces what is not a number by the default.
void LoadOsziData(const TMemIniFile& ini, const QString& section, TOsziData& d, TosziScreen& s);
void SaveOsziData(TMemIniFile& ini, const QString& section, const TOsziData& d, const TosziScreen& s);
