// The Thiele-Small panel under the diagram in mode 8: results, forced Rdc, the two drop targets and the report button.
#pragma once

#include "dsp/evalThieleSmall.h"

#include <QFrame>
#include <QLabel>
#include <functional>

class QLineEdit;
class QPushButton;
class Tdiafrm;

// A place a curve panel of the diagram window is dropped on: it takes only curve slots 0..11
// and reports the slot.
class TTSPDropTarget : public QLabel {
    Q_OBJECT
public:
    TTSPDropTarget(const QString& caption, int tag, QWidget* parent);
    // The curve slot a drag carries (-1: not a curve panel of the diagram).
    static int slotOf(const class QMimeData* data);
signals:
    void curveDropped(int slot);

protected:
    void dragEnterEvent(class QDragEnterEvent* e) override;
    void dropEvent(class QDropEvent* e) override;
};

// The panel (form "TSPform"): shows the record in force and evaluates the diagram's curves
// dropped on "1. Measurement" and "2. Measurement" into it. GUI thread only.
class TTSPform : public QFrame {
    Q_OBJECT
public:
    explicit TTSPform(Tdiafrm* diagram, QWidget* parent = nullptr);

    // Shows a record: `Sd_cm` recomputed from the diameter, the forced Rdc editable only when set.
    void showTSPS(const tTSP& d);
    // Evaluates curve `slot` of the 2D diagram as first / second measurement into the record in
    // force; shows it, or the error text (the previous values stay).
    void Butdet1Click(int slot);
    void Butdet2Click(int slot);
    // A valid number typed into EdRdc becomes the forced Rdc (when it is forced).
    void EdRdcChange();
    // "List / Print": the report window over the record in force.
    void ListClick();

    std::function<void(int)> onHelp;              // help topic wanted (72)
    std::function<void(class QDialog&)> runReport; // tests replace the modal run

    QLabel *Lafs, *Laf1, *Laf2, *LaZmax, *LaQms, *LaQel, *LaQts, *LaMmd, *LaCms, *LaVas; // results
    QLabel *LaSd, *LaMms, *LaVb; // the inputs
    QLineEdit* EdRdc;            // forced DC resistance
    QLabel* LaError;             // result code's text, "." when fine
    TTSPDropTarget* FirstTSPmea; // "1. Measurement", tag 723
    TTSPDropTarget* SecondTSPmea; // "2. Measurement", tag 724
    QPushButton* BtList;         // "List / Print"

private:
    void evaluate(int slot, bool second);
    QLabel* value(class QGridLayout* g, int row, int col, const QString& caption);

    Tdiafrm* m_diagram; // the diagram window whose curves are evaluated, not owned
    bool m_showing = false; // showTSPS fills EdRdc: no change handling
};
