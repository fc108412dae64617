// The virtual bench's own settings dialog: device format, pacing and the model.
#pragma once

#include "TSimSettings.h"

#include <QDialog>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QLineEdit;
class QSpinBox;
struct TSimModelKind;

// Edits a copy of the settings; the model's fields are built from the chosen kind's
// parameter list (a number box per numeric parameter, a text field per text parameter), so
// new model kinds need no change here. Each kind shows the values of its own section. GUI thread, with a QApplication.
class TSimDialog : public QDialog {
    Q_OBJECT
public:
    TSimDialog(const TSimSettings& settings, QWidget* parent = nullptr);
    // The settings as edited.
    TSimSettings result() const;
    // Shows the dialog modally; true when the user confirmed a change (s then holds it).
    static bool edit(TSimSettings& s, QWidget* parent = nullptr);

private:
    void buildDevice(QFormLayout* form);
    void buildModelFields();
    void keepModelFields(TSimModelSettings& m) const;

    TSimSettings settings_;                 // the settings the dialog started from
    QComboBox* rate_ = nullptr;             // SampleRate
    QComboBox* bits_ = nullptr;             // Bits
    QSpinBox* inChannels_ = nullptr;        // InputChannels
    QSpinBox* outChannels_ = nullptr;       // OutputChannels
    QComboBox* pacing_ = nullptr;           // Pacing
    QSpinBox* block_ = nullptr;             // BlockFrames
    QSpinBox* seed_ = nullptr;              // Seed
    QComboBox* kind_ = nullptr;             // model Kind
    QFormLayout* modelForm_ = nullptr;      // the model's parameter fields
    TSimModelSettings draft_;               // model values as edited, kinds not on show included
    const TSimModelKind* shown_ = nullptr;  // the kind whose fields are on show
    std::vector<QDoubleSpinBox*> numbers_;  // per parameter of the chosen kind: its number box
    std::vector<QLineEdit*> texts_;         // or its text field (the other one is null)
};
