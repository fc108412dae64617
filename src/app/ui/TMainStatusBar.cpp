// Texts and drawing of the main status bar.
#include "app/ui/TMainStatusBar.h"

#include "analysis/AnalysePara.h"
#include "dsp/FFtuli.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

namespace {

constexpr uint32_t kHighWordOfNormalInput = 33; // status detail that is no input error
// Largest share of the bar panels 0..3 may take; each is as wide as its text, panel 4 takes the rest.
const double kPanelShare[TMainStatusBar::kPanels - 1] = {0.3, 0.3, 0.16, 0.14};
constexpr int kMinPanelWidth = 48; // pixels

uint32_t highWord(int32_t status) { return (uint32_t(status) >> 16) & 0xFFFFu; }

QString presetPart(const QString& presetName)
{
    if (presetName.isEmpty() || presetName.contains("*.atp", Qt::CaseInsensitive))
        return QStringLiteral(" default");
    return QFileInfo(presetName).fileName();
}

QString modeHead(int32_t mode, const cFFTdat& fft, const QString& signalText)
{
    const QString fftPart = QString::number(fft.SamplesFFT) + " Points, Window: " + WindowName(fft.FFTwin) + " ]  ";
    switch (mode) {
    case 1:
    case 12: return "2D FFT [" + fftPart;
    case 2: return "3D FFT [" + fftPart;
    case 3: return QStringLiteral("Sweep  ");
    case 4: return (fft.asyncIps ? "Async Impulse measurement " : "2D diagram with ") + signalText + "  ";
    case 5: return (fft.asyncIps ? "Async Impulse measurement " : "3D diagram with ") + signalText + "  ";
    case 6: return QStringLiteral("Impedance magnitude  ");
    case 8: return QStringLiteral("Thiele Small Parameter ");
    case 9: return QStringLiteral("Oscilloscope ");
    default: return QString();
    }
}

} // namespace

TPanelLook decodePanelText(const QString& t)
{
    if (t.size() == 1) return {QStringLiteral(" "), QColor(Qt::black), false};
    const QString rest = t.mid(1);
    switch (t.isEmpty() ? 0 : t[0].unicode()) {
    case 'R': return {rest, QColor(200, 0, 0), true};
    case 'G': return {rest, QColor(0, 120, 0), false};
    case 'Y': return {rest, QColor(150, 110, 0), false};
    case 'B': return {rest, QColor(0, 0, 200), false};
    default: return {"int. Error " + t, QColor(200, 0, 0), true};
    }
}

QString overloadPanelText(int32_t status)
{
    if ((status & 0x4) && highWord(status) != 0) return QStringLiteral("RInp. Level: OVER !");
    return QStringLiteral("G ");
}

QString overloadBannerText(int32_t status, uint32_t channels)
{
    if (overloadPanelText(status).startsWith(u'G')) return {};
    QStringList names;
    for (int ch = 0; ch < 32; ++ch)
        if (channels & (1u << ch))
            names << (ch == 0   ? QStringLiteral("Left")
                      : ch == 1 ? QStringLiteral("Right")
                                : "Channel " + QString::number(ch + 1));
    return "Overload: " + (names.isEmpty() ? QStringLiteral("Input") : names.join(", "));
}

QString inputPanelText(int32_t status, const std::function<QString()>& errorText, const QString& format,
                       const QString& device)
{
    if ((status & 0x8) && highWord(status) != kHighWordOfNormalInput) return "R" + errorText().left(1023);
    return "GIn: " + format.trimmed() + " | " + device;
}

QString outputPanelText(int32_t status, const std::function<QString()>& errorText, const QString& format,
                        const QString& device)
{
    const QString text = (status & 0x10) ? errorText() : QStringLiteral("Sound: no error");
    if (text.contains("no error")) return "GOut: " + format.trimmed() + " | " + device;
    return "R" + text;
}

QString modePanelText(int32_t mode, const cFFTdat& fft, const QString& separator, const QString& presetName,
                      bool correctionActive, const QString& signalText, bool pinkNoiseActive)
{
    const QString setup = "Setup: " + presetPart(presetName);
    QString text;
    if (mode == 0 || mode == 13 || mode < 0 || mode > 13) text = QStringLiteral("NoMode ");
    else if (mode == 7) text = "Distortion Measurement " + setup;
    else if (mode == 10) text = "Power Distortion Measurement " + setup;
    else if (mode == 11) text = "RT60 Measurement " + setup;
    else text = modeHead(mode, fft, signalText) + separator + setup;
    if (correctionActive) text += QStringLiteral("  [Correction File active]");
    if (pinkNoiseActive) text += QStringLiteral("  [Pink Noise Filter active]");
    return "B" + text;
}

QString calibPanelText(const cFFTdat& fft, double inputCal_mV)
{
    const QString unit = LevelUnitLabel(fft);
    if (fft.fdbMode == dBMode_dbFS || fft.fdbMode == dBMode_dB) return "G" + unit;
    return "B" + unit + " | Cal. " + QString::number(inputCal_mV, 'f', 1) + "mV";
}

TAudioMenuState audioMenuState(int32_t status, bool linked)
{
    TAudioMenuState s;
    const QString out = linked ? QStringLiteral("Audio-In/Out-") : QStringLiteral("Audio-Out-");
    const QString in = linked ? QStringLiteral("Audio-In/Out-") : QStringLiteral("Audio-In-");
    s.outDevice = out + "Device";
    s.outParam = out + "Parameter";
    s.inDevice = in + "Device";
    s.inParam = in + "Parameter";
    s.outEnabled = !(status & 0x2) && !linked;
    s.inEnabled = !(status & 0x1) && !(linked && (status & 0x2));
    return s;
}

// ---- widget -----------------------------------------------------------------------------------

TMainStatusBar::TMainStatusBar(QWidget* parent) : QWidget(parent)
{
    m_texts.fill(QStringLiteral("G "));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TMainStatusBar::setPanelText(int panel, const QString& text)
{
    if (panel < 0 || panel >= kPanels || m_texts[panel] == text) return;
    m_texts[panel] = text;
    update(); // a new text may move the panels after it
}

QString TMainStatusBar::panelText(int panel) const
{
    return (panel >= 0 && panel < kPanels) ? m_texts[panel] : QString();
}

QStringList TMainStatusBar::panelTexts() const { return QStringList(m_texts.begin(), m_texts.end()); }

QSize TMainStatusBar::sizeHint() const { return QSize(900, fontMetrics().height() + 8); }

int TMainStatusBar::panelWidth(int panel) const
{
    const TPanelLook look = decodePanelText(m_texts[panel]);
    QFont f = font();
    f.setBold(look.bold);
    const int want = QFontMetrics(f).horizontalAdvance(look.text) + 14;
    return std::clamp(want, kMinPanelWidth, std::max(kMinPanelWidth, int(width() * kPanelShare[panel])));
}

QRect TMainStatusBar::panelRect(int panel) const
{
    int x = 0;
    for (int i = 0; i < panel && i < kPanels - 1; ++i) x += panelWidth(i);
    const int w = panel < kPanels - 1 ? panelWidth(panel) : std::max(0, width() - x);
    return QRect(x, 0, w, height());
}

void TMainStatusBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    for (int i = 0; i < kPanels; ++i) {
        const QRect r = panelRect(i).adjusted(1, 1, -2, -2);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(r);
        const TPanelLook look = decodePanelText(m_texts[i]);
        QFont f = font();
        f.setBold(look.bold);
        p.setFont(f);
        p.setPen(look.color);
        p.drawText(r.adjusted(4, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                   QFontMetrics(f).elidedText(look.text, Qt::ElideRight, r.width() - 6));
    }
}

void TMainStatusBar::mousePressEvent(QMouseEvent* event)
{
    for (int i = 0; i < kPanels; ++i)
        if (panelRect(i).contains(event->position().toPoint()))
            emit panelClicked(i, event->globalPosition().toPoint());
}
