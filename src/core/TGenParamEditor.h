// The generator parameter editor of the main window: what it shows per mode, and what typing
// and the up/down arrows do to the module's record.
#pragma once

#include "soundDLLTypes.h"

#include <QString>

// What the editor (spSoundPara), its up/down (UDSoundPara) and its two labels show.
struct TGenEditorView {
    bool visible = true;    // editor and up/down shown (hidden in modes 2, 3, 9, 11)
    bool keepText = false;  // mode 4: the editor keeps whatever it shows
    bool readOnly = false;  // mode 12: the formula, not editable
    QString text;           // editor text (unless keepText)
    QString modeName;       // LaWaveOut
    QString unit;           // LaWOunit
    QString hint;           // mode 11: the sound file name, also on "Sound on" and output "Setup"
};

// Rules of the main window's generator editor. Stateless; the record is the module's and the
// editor writes into it directly. GUI thread only.
namespace TGenParamEditor {

// MLS order one arrow step from `order`: within 12..16, 13 skipped (12 up gives 14, 14 down 12).
int stepMLSOrder(int order, int delta);

// The view for the record's mode (modeL).
TGenEditorView display(const TwaveGO& go);
// One change of the editor's text. Mode 5: a whole number, <= 0 gives 1, above 40 gives 40.
// Mode 6: a whole number within 12..16; 13 becomes 12 when the current order is 14 and 14 when
// it is 12 (the arrows never land on 13). Frequency modes: a number > 0 and not above rate sets
// both frequencies. Other modes and unreadable text: nothing. Returns true when the record
// changed. rate: output sample rate, Hz.
bool typed(TwaveGO& go, const QString& text, int rate);
// One arrow step (+1 up, -1 down). Mode 5: width within 1..400; mode 6: stepMLSOrder; frequency
// modes: both frequencies +-1 Hz, never to 0 Hz or below. Returns true when the record changed.
bool step(TwaveGO& go, int delta);

} // namespace TGenParamEditor
