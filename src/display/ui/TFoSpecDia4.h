// The dialog "special diagram parameter": x and y data factors, x unit and y offset.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

// The four values of the special scaling.
struct TSpecDiaValues {
    double xFactor = 1.0; // multiplies the x data (not the x scale)
    QString xUnit = "Hz"; // x unit identifier shown on the axis
    double yFactor = 1.0; // multiplies the y data
    double yOffset = 0.0; // added to the y data
};

// Edits a copy of the values. A number edit reads ',' as '.' and keeps its last valid value
// while the text is not a number. Results: QDialog::Accepted on OK, kCancelResult otherwise.
// GUI thread only.
class TFoSpecDia4 : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCancelResult = 2;

    explicit TFoSpecDia4(const TSpecDiaValues& v, QWidget* parent = nullptr);

    const TSpecDiaValues& values() const { return m_values; }
    void reject() override;

    QLineEdit* EdXFactor; // "x-data factor"
    QLineEdit* EdXUnit;   // "x-axis unit"
    QLineEdit* EdYFactor; // "y-data factor"
    QLineEdit* EdYOffset; // "y-data offset"
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    TSpecDiaValues m_values; // edited copy
};
