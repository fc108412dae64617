// Storage of IIR filter settings in INI files, and the filters' design warnings shown by the message service.
#pragma once

#include <QString>

class TIIRObj;
class TMemIniFile;

// All functions: GUI thread (or one loader thread at a time); the filter must not be running
// on the audio thread while it is loaded (the filter blocks load into a copy).

// Shows the filter's design warning, if its last design raised one, as a "Warning" box of the
// message service; true when it showed one.
bool ReportDesignWarning(const TIIRObj& f);

// Writes the filter into section Section + "_" + Id: Bypassed, Typ, Freq, Gain, Att, Ratio,
// Amax, Grad, Q, Char, in this order.
void SaveToIniMem(const TIIRObj& f, TMemIniFile& ini, const QString& Section, int Id);
// The same into a file (read, changed, written back atomically). False and *error set when the
// file cannot be read or written; the file is then left as it was.
bool SaveToIni(const TIIRObj& f, const QString& Path, const QString& Section, int Id,
               QString* error = nullptr);

// Reads the filter from section Section + "_" + Id and designs it (reporting a design warning).
// Values that are missing,
// unreadable or outside the filter's limit set load the defaults (Gain 0, Q 1, Ratio 1.4142,
// Amax -3.1, Att 1, Grad 2, Freq 1000, Typ 0, Char 0); a missing Freq reads as 5555 Hz.
// Gain, Q, Ratio, Amax and Att are first written back as the text read ("0" when missing).
void LoadFromIniMem(TIIRObj& f, TMemIniFile& ini, const QString& Section, int Id);
// The same from a file; the file itself is never written. A missing file loads the defaults.
// A file that cannot be read or parsed (not text, invalid UTF-8, too large) leaves the
// filter unchanged and returns false with the reason in *error.
bool LoadFromIni(TIIRObj& f, const QString& Path, const QString& Section, int Id,
                 QString* error = nullptr);
