// The level meter with a trigger-level slider shown while an impulse from outside is awaited.
#pragma once

#include <QFrame>
#include <functional>

class QLabel;
class QSlider;

// Two level bars (left, right; dBFS from mindB to maxdB, red above the overload threshold) and
// the trigger-level track bar (whole dB from mindB to maxdB, ticks every tenth of the range).
// Horizontal: left bar on top, track bar in the middle, right bar at the bottom; vertical:
// bars at the sides growing upwards, up on the slider means louder. GUI thread only.
class TVUTRIGG : public QFrame {
    Q_OBJECT
public:
    explicit TVUTRIGG(QWidget* owner = nullptr);

    void setHoriz(bool h);
    bool horiz() const { return fhoriz; }
    // 0 hides the label "trigger"; 1 shows it and takes 14 pixels from the height.
    void setATstyle(int style);
    void setOnTrackChange(std::function<void()> fn) { fOnTrackChange = std::move(fn); }
    void setLlevdB(double dB);
    void setRlevdB(double dB);
    double LlevdB() const { return fLlevdB; }
    double RlevdB() const { return fRlevdB; }
    void setmaxLevdB(double dB);
    double maxLevdB() const { return fmaxLevdB; }
    // The trigger level, dB: written rounded and clamped to the slider's range.
    void setTrackValdB(double dB);
    double TrackValdB();

    QFrame* leftBar() const { return Lbar; }
    QFrame* rightBar() const { return Rbar; }
    QSlider* trackBar() const { return TBtrigg; }
    QLabel* label() const { return texLabel; }
    // Length of a bar for a level in pixels (of Fwidth horizontal, Fheight vertical).
    int barLength(double dB) const;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void setBar(QFrame* bar, double dB, const char* hint);
    void layoutParts();

    bool fhoriz = true;         // horizontal layout
    QFrame* Rbar = nullptr;     // right level bar
    QFrame* Lbar = nullptr;     // left level bar
    QLabel* texLabel = nullptr; // "trigger", style 1 only
    QSlider* TBtrigg = nullptr; // trigger-level track bar
    double mindB = -50.0;       // shown range, dBFS
    double maxdB = 0.0;
    double fmaxLevdB = -1.0;                 // above it a bar is red
    double fRlevdB = -50.0, fLlevdB = -50.0; // current levels, dBFS
    int fATstyle = 0;                        // vertical style
    int Fheight = 0, Fwidth = 0;             // usable size, pixels
    std::function<void()> fOnTrackChange;    // the owner's track-change handler
};
