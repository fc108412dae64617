// The filter editor: two filter blocks edited side by side, with their combined response.
#pragma once

#include "analysis/TFilterFormModel.h"
#include "dsp/Tsamplemem.h"

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;
class QTimer;
class TDiagrammView;
class TshowBiQuadF;

// The controls of one side (left or right block).
struct TFilterSideControls {
    QListWidget* LBFilter;  // "Filter 1" .. "Filter 20"
    QComboBox* CBTyp;       // filter type
    QComboBox* CBOrder;     // 2, 4, .. 12 (all-pass 1, 2)
    QComboBox* CBChar;      // characteristic
    QSlider* TBFreq;        // logarithmic, 1 Hz .. fs/2 - 1 Hz
    QLineEdit* EdFreq;      // typed frequency, Hz
    QSlider* TBGain;        // whole dB within the gain limits
    QLabel* LaGain;         // the gain
    QSlider* TBQ;           // Q * 4
    QLabel* LaQ;            // the Q, "%2.2f"
    QCheckBox* CBBypass;    // "ByPass this Filter"
    QCheckBox* CBBypassAll; // "Bypass all Filters"
    QPushButton* BtClear;   // "Clear Filter"
    QPushButton* BtBiquad;  // "Biquad": the biquad list of this side
    QLabel* LaUsed;         // "Used Biquads: n"
};

// Edits the model's two blocks; the owner reads them back after OK. List, type, order,
// characteristic, bypass and clear notify the owner at once; track bar movements notify
// kDebounce_ms after the last one. After every notification the calculation time and the
// response diagram are renewed. GUI thread only.
class TFilterForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kFreqSteps = 1000;  // frequency track bar maximum
    static constexpr int kDebounce_ms = 150; // quiet time after a track bar movement

    // colours: 0x00BBGGRR of the left and right curves.
    TFilterForm(const QString& title, const tFilterBlock& left, const tFilterBlock& right,
                bool link, double fs, unsigned colLeft = 0x0000FF, unsigned colRight = 0xFF0000,
                QWidget* parent = nullptr);
    ~TFilterForm() override;

    TFilterFormModel& model() { return m_model; }
    TFilterSideControls& side(int s) { return m_side[size_t(s == 1)]; }
    // Shows the biquad list of a side ("Biquad"); default exec(). Tests replace it.
    void setBiquadListRunner(std::function<void(TshowBiQuadF&)> run) { m_runList = std::move(run); }
    // Fires a pending track-bar notification now (what the timer does).
    void flushPending();

    QCheckBox* CBLink;      // "Link Channels"
    QLabel* LaCalcTime;     // "Calc time/sample x.xxµs"
    TDiagrammView* Diagram; // response of the blocks
    QTimer* ChangeTimer;    // the track bars' quiet time

private:
    QWidget* buildSide(int s);
    void connectSide(int s);
    void refreshSide(int s);
    void fillOrders(int s);
    void edited(int s, bool now); // after an edit: notify now or after the quiet time
    void afterChange();           // notification, calculation time, diagram
    void setupDiagram(unsigned colLeft, unsigned colRight);
    void renewDiagram();
    void showBiquads(int s);

    TFilterFormModel m_model;                     // the blocks and rules
    std::array<TFilterSideControls, 2> m_side{};  // left, right
    std::array<QGroupBox*, 2> m_box{};            // the sides' frames
    bool m_filling = false;                       // controls are being set: no edits
    Tsamplemem m_xAxis;                           // response frequencies, Hz
    std::array<Tsamplemem, 3> m_curves;           // left, right, left + right, dB
    std::function<void(TshowBiQuadF&)> m_runList; // tests; empty: exec()
};
