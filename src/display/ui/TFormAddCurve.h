// The confirmation "Add Curves": is one curve to be added to another (drag and drop)?
#pragma once

#include "display/diaTypes.h"

#include <QDialog>

class QLabel;
class QPushButton;

// Shows "<curve a> is added to <curve b> Proceed ?" with both labels in their curve colours.
// Modal results kYesResult and kNoResult (also on closing). GUI thread only.
class TFormAddCurve : public QDialog {
    Q_OBJECT
public:
    static constexpr int kYesResult = 6; // Yes
    static constexpr int kNoResult = 7;  // No

    TFormAddCurve(TColorBGR dColCurve1, const QString& dTexCurve1, TColorBGR dColCurve2,
                  const QString& dTexCurve2, QWidget* parent = nullptr);

    // A label text: "curve " + slot counted from 1.
    static QString curveText(int slot);

    void reject() override;

    QLabel* LaCurve1;  // dTexCurve1 in dColCurve1
    QLabel* LaAdded;   // "is added to "
    QLabel* LaCurve2;  // dTexCurve2 in dColCurve2
    QLabel* LaProceed; // "Proceed ?"
    QPushButton* YesBtn;
    QPushButton* NoBtn;
};
