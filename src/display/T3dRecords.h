// The records the waterfall's settings dialog and view tool hand to the 3D window.
#pragma once

#include "display/diaTypes.h"

#include <cstdint>

// The settings dialog's record (message 1034).
struct T3dSettingsRec {
    int32_t LF = 2;          // 0 wire, 1 plain, 2 surface
    int32_t FDfilter = 0;    // display filter 0..4
    int32_t Zbands = 16;     // bands
    double xmin = 20, xmax = 20000, xstep = 0;
    double ymin = -100, ymax = -20, ystep = 10;
    bool YmaxAuto = true, zreverse = false, xlog = true;
    TColorBGR BackCol = 0xC0C0C0, gridCol = 12632256, LineCol = 255, FFlaeCol = 0xFFFF, TextCol = 0,
              DiaBGCol = 0xFFFFFF;
    int32_t YaxisMode = 0;   // 0 normal, 1 0 dB at 1 kHz, 2 0 dB at the maximum
    bool AudioRight = false; // the right channel feeds the waterfall
    bool OpenGldesi = false; // OpenGL offered
    bool makeOpenGL = false; // OpenGL chosen
};

// The view record (message 1033): current reference and eye point, then the two stored views.
struct T3dViewRec {
    double xflu = 0.47, yflu = -0.12, zflu = 0, xbe = 5, ybe = 16, zbe = 17.1;
    double d1xflu = 0.47, d1yflu = -0.12, d1zflu = 0, d1xbe = 5, d1ybe = 16, d1zbe = 17.1;
    double d2xflu = 0.4, d2yflu = 0, d2zflu = 0, d2xbe = 4, d2ybe = 16, d2zbe = 18;
};
