// The "Oscilloscope Settings" dialog: every scope control, posting the whole record to the scope
// window on each change.
#pragma once

#include "measurements/TOsziData.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QRadioButton;
class QScrollBar;
class QSlider;

// Not modal. Scroll bars count from their maximum (index = 13 - position, delay samples =
// 1000 - position), track bars are thousandths of the screen. GUI thread only.
class TOsziDlg : public QDialog {
    Q_OBJECT
public:
    // target receives a TOsziSettingsEvent for every change.
    TOsziDlg(QObject* target, QWidget* parent = nullptr);

    void setData(const TOsziData& d, int32_t sampleRate);
    const TOsziData& data() const { return m_d; }
    void resetClicked(); // "Reset": the default settings

    // controls, named as on the form
    QScrollBar *SBcha1 = nullptr, *SBcha2 = nullptr, *SBtime = nullptr, *SBdelay = nullptr;
    QLabel *LaCha1 = nullptr, *LaCha2 = nullptr, *LaTime = nullptr, *LaDelay = nullptr;
    QSlider *TBpos1 = nullptr, *TBpos2 = nullptr, *TBtrigg = nullptr, *TBxpos = nullptr,
            *TBfocus = nullptr;
    QCheckBox *CBx10 = nullptr, *CBscreen = nullptr, *CBslope = nullptr, *CBauto = nullptr,
              *CBadd = nullptr;
    QCheckBox *CBsingle = nullptr, *CBautoRate = nullptr;
    QCheckBox *CBoff1 = nullptr, *CBinv1 = nullptr, *CBgnd1 = nullptr, *CBoff2 = nullptr,
              *CBinv2 = nullptr, *CBgnd2 = nullptr;
    QRadioButton *RBcha1 = nullptr, *RBcha2 = nullptr;

private:
    void build();
    QWidget* channelBox(int c);
    QWidget* timeBox();
    QWidget* triggerBox();
    QWidget* screenBox();
    void fill();    // controls from m_d
    void changed(); // m_d from the controls, labels, posted
    void showLabels();

    QObject* m_target;      // the scope window
    TOsziData m_d;          // the record being edited
    int32_t m_rate = 48000; // input rate, Hz (the delay's unit)
    bool m_filling = false; // controls being set: no posting
};
