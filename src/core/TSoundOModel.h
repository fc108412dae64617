// The generator dialog's model: its copy of the generator record, the mode items, the controls
// each mode shows, and the rules of every field, arrow and button.
#pragma once

#include "soundDLLTypes.h"

#include <QString>

// What the dialog shows for the current mode. Texts are ready to be put into the controls.
struct TSoundOView {
    int radioItem = -1;          // item of the "Mode" group for the mode, -1 for none (4, 9, unknown)
    bool levelVisible = true;    // "dig. Level (dBFS)" and its up/down (hidden in mode 11)
    QString levelText;           // "%1.4f"
    bool freqVisible = false;    // first field and its up/down
    QString freqCaption;         // "Frequency (Hz)"
    QString freqText;
    bool secondVisible = false;  // second field and its up/down
    bool secondReadOnly = false; // mode 6: changed by the arrows only
    QString secondCaption;       // "width (samples)", "MLS order", "waves", "Second frequency"
    QString secondText;
    bool thirdVisible = false;   // third field and its up/down
    QString thirdCaption;        // "repeat time (ms)" or "Second dig.Level (dbFS)"
    QString thirdText;
    bool infoVisible = false;    // dirac width and corner frequency, or MLS duration
    QString infoCaption;         // "DIRAC width", "MLS duration (ms)"
    QString infoText;
    bool contiVisible = false;   // "conti"
    bool contiChecked = false;
    bool dualVisible = false;    // "Add" / "Multiply" / "Le/Ri"
    int dualFunc = 0;            // checked one: 0, 1, 2 (any other value of the record shows 0)
    bool openFileVisible = false; // "Open File" (mode 11)
    bool openFileEnabled = false;
    bool synthesisVisible = false; // "Synthesis" (mode 12)
    bool synthesisEnabled = false;
    bool outFilterEnabled = true;  // "Output Filter ": in mode 11 only with filter support
    QString fileHint;              // mode 11: the sound file name
};

// The dialog's state and rules, free of widgets so every rule can be tested. The record is the
// dialog's own copy; it reaches the module only through OK or Apply. Messages go through the
// message service. GUI thread only.
class TSoundOModel {
public:
    static constexpr int kItems = 11; // radio items, the two added ones included

    // Radio item -> mode: 0 sine, 1 square, 2 triangle, 3 white noise, 4 pink noise, 5 burst,
    // 6 dirac, 7 MLS, 8 dual sine, 9 sound file, 10 synthesis; -1 for other items.
    static int itemToMode(int item);
    // The inverse; -1 for modes without an item (4 user wave, 9 raw, unknown values).
    static int modeToItem(int mode);
    // Captions of the radio items, in item order.
    static QString itemCaption(int item);

    // Takes a copy of the record, the capability bits of the module's status word, and whether
    // the active measuring mode is an impulse mode (4, 5 or 11).
    void setRecord(const TwaveGO& go) { m_go = go; }
    void setCapabilities(int32_t status) { m_caps = status; }
    void setImpulseMeasurement(bool on) { m_impulse = on; }
    const TwaveGO& record() const { return m_go; }
    TwaveGO& record() { return m_go; }
    int32_t capabilities() const { return m_caps; }
    bool impulseMeasurement() const { return m_impulse; }

    // A click on a radio item: sets the mode of both channels. Sound file and synthesis
    // without the module's support show an information message and select sine.
    void chooseItem(int item);

    // The rebuild: normalises what the mode shows (an MLS order of 13 becomes 12), shows the
    // "impulse length greater than rep. time" warning when it applies, and returns the view.
    TSoundOView rebuild();
    // The view without side effects.
    TSoundOView view() const;

    // Leaving a field with `text`; unreadable text changes nothing.
    void levelLeft(const QString& text);
    void freqLeft(const QString& text);
    void secondLeft(const QString& text);
    void thirdLeft(const QString& text);
    // Arrows: +1 up, -1 down.
    void levelStep(int delta);
    void freqStep(int delta);
    void secondStep(int delta);
    void thirdStep(int delta);

    void setConti(bool on) { m_go.Conti = on ? 1 : 0; }
    void setDualFunc(int f) { m_go.dualTfunc = f; }
    // "Open File": the chosen name; a name longer than the record's field is refused with an error.
    void setSoundFile(const QString& fileName);
    // "Reset": the factory values of the current mode.
    void reset();

    // Output sample rate of the record, Hz.
    int rate() const;
    // Signal length of the current dirac, MLS or burst, ms.
    double signalLength_ms() const;

private:
    void fillParameters(TSoundOView& v) const;
    void fillImpulse(TSoundOView& v) const;

    TwaveGO m_go{};        // the dialog's copy of the generator record
    int32_t m_caps = 0;    // status word read when the dialog opened
    bool m_impulse = false; // the active measurement is an impulse measurement
};
