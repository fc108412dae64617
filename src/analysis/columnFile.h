// Column files of other programs read from disk (curves, microphone calibrations).
#pragma once

#include "dsp/columnText.h"

#include <QString>

// Reads the file `path` with ReadColumnText; false with "<file name>: <reason>" in *error when
// it cannot be opened, is larger than kMaxColumnFileBytes or is no column file (out unchanged).
bool ReadColumnFile(const QString& path, TColumnTable& out, QString* error = nullptr);
