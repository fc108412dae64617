// The input and output correction curves of the main window, their settings and menu commands.
#pragma once

#include "dsp/corObj.h"

#include <QString>

class TMemIniFile;

// Holds the input and the output correction curve with the file each one was chosen from, and
// carries out the main window's correction commands; the window only adds the file dialogs and
// the editor. A chosen file stays remembered even when it failed to load, so it can be edited.
// Both curves subtract (applDir +1). GUI thread only.
class TCorrectionSet {
public:
    enum Which { Input = 0, Output = 1 };

    // Messages of the curves in language 'D' (German) or 'E'.
    explicit TCorrectionSet(char lang = 'E');

    // The text separator of section "MAIN" key "TEXTSEP": ";" when missing or empty, a blank
    // for "BLANK", else the first character.
    static char textSeparator(const TMemIniFile& ini);

    // Reads the separator and "INCONAME"/"INCOAKT", "OUTCONAME"/"OUTCOAKT" of "MAIN" and loads
    // the named files (a missing one is created with the default lines); a curve is active
    // when its flag is set and it loaded.
    void readSettings(const TMemIniFile& ini);
    // Writes the four keys (names and active flags).
    void writeSettings(TMemIniFile& ini) const;

    char separator() const { return m_sep; }
    void setSeparator(char sep) { m_sep = sep; }

    // "Lade ...korrekturdatei": loads `fname` with the current separator; true when active.
    // A column file of another program (a microphone calibration, IsForeignColumnFile) is
    // read as MicCorrection.
    bool open(Which w, const QString& fname);
    // "...korrektur aktiv": switches off, or on when a file name is set; the new state.
    bool toggleActive(Which w);
    // "Edit ...korrekturdatei": true when no file is set, so the window must ask for one first.
    bool needsFile(Which w) const { return slot(w).fname.isEmpty(); }
    // Loads `fnameIfNone` when no file is set, then activates the curve. Returns the file to
    // edit, empty when there is none (nothing changed then).
    QString edit(Which w, const QString& fnameIfNone = QString());

    Tcorri& curve(Which w) { return slot(w).cor; }
    const Tcorri& curve(Which w) const { return slot(w).cor; }
    const QString& fileName(Which w) const { return slot(w).fname; }
    bool active(Which w) const { return slot(w).cor.getaktiv(); }

private:
    struct Slot {
        Tcorri cor;    // the curve as loaded
        QString fname; // file chosen for it, kept even when loading failed
    };
    Slot& slot(Which w) { return m_slots[w == Output ? 1 : 0]; }
    const Slot& slot(Which w) const { return m_slots[w == Output ? 1 : 0]; }

    Slot m_slots[2];  // input, output
    char m_sep = ';'; // column separator of correction files
};
