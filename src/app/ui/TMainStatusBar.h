// The main status bar: five owner-drawn panels whose texts carry a colour letter, and their texts.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

class cFFTdat;

// How one panel text is shown: the first letter picks colour and weight and is not shown.
struct TPanelLook {
    QString text;       // what is drawn
    QColor color;       // text colour
    bool bold = false;  // "R" texts are bold
};
// "R" red bold, "G" green, "Y" yellow, "B" blue; a one-character text shows as a blank; any
// other first letter (an empty text included) shows "Rint. Error " + text in red.
TPanelLook decodePanelText(const QString& t);

// Panel 2 from the module's status word: "RInp. Level: OVER !" while overloaded with a detail
// in the high word, else "G ".
QString overloadPanelText(int32_t status);
// The banner over the diagram while the input overloads (status as for panel 2): "Overload: "
// and the channels at full scale (bit n = channel n: "Left", "Right", then "Channel n+1"),
// or "Input" when none is known. Empty while the input does not overload.
QString overloadBannerText(int32_t status, uint32_t channels);
// Panel 1: with bit 0x8 and a high word other than 33 "R" + the module's error text, else
// "GIn: " + format + " | " + device. errorText is only asked when needed.
QString inputPanelText(int32_t status, const std::function<QString()>& errorText,
                       const QString& format, const QString& device);
// Panel 0: the module's error text with bit 0x10, else "Sound: no error"; a text containing
// "no error" shows "GOut: " + format + " | " + device, anything else "R" + text.
QString outputPanelText(int32_t status, const std::function<QString()>& errorText,
                        const QString& format, const QString& device);
// Panel 4: "B" + the description of the measuring mode (FFT size and window name for the FFT
// modes, the generator's signal for the impulse modes 4 and 5), the separator, "Setup: " and the
// preset part (" default" for an unnamed preset), then "  [Correction File active]" and
// "  [Pink Noise Filter active]" when they apply. signalText: vlgen::impulseSignalText.
QString modePanelText(int32_t mode, const cFFTdat& fft, const QString& separator,
                      const QString& presetName, bool correctionActive,
                      const QString& signalText = QString(), bool pinkNoiseActive = false);
// Panel 3: the level unit and, for units tied to a calibration, the input calibration voltage.
QString calibPanelText(const cFFTdat& fft, double inputCal_mV);

// Captions and enabled state of the audio items of the panel menus and the options menu.
struct TAudioMenuState {
    QString outDevice, outParam; // "Audio-Out-Device", ... or "Audio-In/Out-..." when linked
    QString inDevice, inParam;   // "Audio-In-Device", ...
    bool outEnabled = true;      // off while output runs or the dialogs are linked
    bool inEnabled = true;       // off while input runs, or linked while output runs
};
TAudioMenuState audioMenuState(int32_t status, bool linked);

// The five panels: 0 output, 1 input, 2 input level, 3 calibration, 4 mode. A click on a
// panel emits panelClicked. GUI thread only.
class TMainStatusBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPanels = 5;

    explicit TMainStatusBar(QWidget* parent = nullptr);

    void setPanelText(int panel, const QString& text); // raw text with its colour letter
    QString panelText(int panel) const;
    QStringList panelTexts() const;
    QSize sizeHint() const override;

signals:
    void panelClicked(int panel, QPoint globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRect panelRect(int panel) const;
    int panelWidth(int panel) const; // panels 0..3: as wide as the text, within a share of the bar

    std::array<QString, kPanels> m_texts; // raw texts, colour letter first
};
