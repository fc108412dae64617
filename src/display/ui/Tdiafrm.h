// The diagram window: main diagram, secondary panel, eight curve panels, x-limit edits, dialogs.
#pragma once

#include "display/TDiaWindowModel.h"
#include "display/IDiagramHost.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QSplitter;
class QTimer;
class QVBoxLayout;
class TCrvdia;
class TCurvePanel;
class TDiagrammView;
class TFormAddCurve;
class TMemIniFile;
class TdiaCdlg;
struct TDiaOptions;
class Tdiadlg;

// Shows every 2D result. Results arrive as message 1053 (a TPutDiaEvent sharing the package),
// a curve dialog's "Reset" as message 1040. The upper part is the main diagram; below a
// splitter one secondary panel (OpenSecundaryWindow): the time diagram, or the places of the
// Thiele-Small and oscilloscope panels. The modal dialogs can be replaced by runners (tests);
// empty runners use exec(). GUI thread only.
class Tdiafrm : public QWidget, public IDiagramHost {
    Q_OBJECT
public:
    explicit Tdiafrm(QWidget* parent = nullptr);
    ~Tdiafrm() override;

    TDiaWindowModel& model() { return *m_model; }
    TDiagramm& diagr2d();
    TDiagrammView* mainView() const { return m_mainView; }
    TDiagrammView* timeView() const { return m_timeView; }

    // Hosts the secondary panel of kind typ: 8 Thiele-Small, 9 oscilloscope, 9999 none (returns
    // null), anything else the time diagram for measurement type typ.
    QWidget* OpenSecundaryWindow(int32_t typ);
    // Makes the Thiele-Small panel of mode 8 on the given parent (unset: a placeholder). The panel
    // lives while mode 8 hosts it and is made anew each time.
    std::function<QWidget*(QWidget* parent)> makeThieleSmallPanel;
    QWidget* secondaryPanel() const { return m_secPanel; }
    // Gives a hosted draggable secondary panel this share (0..1) of the splitter's height, now
    // when the window is laid out, else at its first layout. It then stays at that many pixels.
    void setSecondaryShare(double share);

    // Text of the main ('F') or time ('T') diagram; SaveAsText returns true on FAILURE.
    QString getLastDiagrammText(int32_t DiaType, int32_t Mode);
    bool SaveAsText(const QString& Fname, int32_t DiaType, QString* error = nullptr);
    // The main diagram's picture, freshly painted; EditCut puts it on the clipboard.
    QImage diagramImage();
    void EditCut();
    QImage getFormImage();
    int32_t ResultTextSize() const { return m_resultTextSize; }
    void setResultTextSize(int32_t pt);

    // Window settings, the main diagram from Topic and a hosted time diagram from Topic + "Z".
    void loadDia(const TMemIniFile& ini, const QString& Topic, const tdiaset& ds);
    void saveDia(TMemIniFile& ini, const QString& Topic);
    void setOnParaChange(std::function<void()> fn) { m_model->fOnParaChange = std::move(fn); }

    // ---- the window as the measurements see it
    QObject* diagramReceiver() override { return this; }
    void openSecondaryPanel(int32_t typ) override { OpenSecundaryWindow(typ); }
    // A settings file that cannot be read or written gives a message and changes nothing.
    void loadDiagram(const QString& iniFile, const QString& topic) override;
    void saveDiagram(const QString& iniFile, const QString& topic) override;
    void setUnitTexts(const QString& left, const QString& right) override;
    void setFFTInfo(int32_t fftPoints, int32_t sampleRate) override;
    void setMarkerOn(bool first, bool second) override { m_model->setMarkerOn(first, second); }
    void resetDiagram() override;
    void setYUnit(const QString& unit) override;
    void setCommentLines(const QStringList& lines, int32_t textSize) override;
    void setTimeDiagramRange(double ms, const QString& yUnit) override;
    void newCurveSet() override { m_model->shiftnewcurves(true); }
    void setCurveComments(const QStringList& names) override;
    void setXAxis(double from, double to, const QString& unit) override;
    void setIpsMarkers(double* triggLevel, double* echo_ms, int32_t* manFFTbegin) override;
    void setTimeLines(double fftBegin_ms, double fftLength_ms, double echo_ms) override;
    // The main diagram's remark line (a measurement's status text).
    void setRemark(const QString& text);

    // ---- what the controls do (also for tests and scripts)
    void showCurvesDats();                 // repaints the eight panels
    void curveClicked(int slot);           // the curve dialog on a copy, OK/Apply loop
    void toggleSelected(int slot);
    void dropPanel(int source, int target, bool ctrl);
    void clearCurvesClicked();             // "clear curves"
    void shiftCurves(bool down);           // "Shift to next curve" line down / up
    void xMinEdited();
    void xMaxEdited();
    void openDiagramOptions();             // right click on the main diagram
    void openTimeColours();                // right click on the time diagram
    // The time diagram's popup menu for a click at p (the window owns the menu until shown).
    QMenu* makeTimePopup(const TTimeDiaPoint& p);
    void timeDiagramClicked(QPoint global); // left click in the time diagram

    // ---- controls
    TCurvePanel* curvePanel(int slot) const;
    TCurvePanel* idealPanel() const { return m_ideal; }
    QLineEdit* xMinEdit() const { return m_xmin; }
    QLineEdit* xMaxEdit() const { return m_xmax; }
    QPushButton* clearButton() const { return m_clear; }
    QScrollBar* shiftBar() const { return m_shift; }
    QSplitter* splitter() const { return m_split; }

    // ---- runners of the modal dialogs and the popup (tests)
    std::function<int(TCrvdia&)> runCurveDialog;
    std::function<int(Tdiadlg&)> runOptionsDialog;
    std::function<int(TdiaCdlg&)> runColourDialog;
    std::function<int(TFormAddCurve&)> runAddCurveDialog;
    std::function<void(QMenu&, QPoint)> runPopup;

    TColorBGR colSoundOn = 0xD0FF90;    // main window's sound button colours (options dialog)
    TColorBGR colSoundOff = 15790320;
    TColorBGR mainWindowColour = 0xC0DCC0; // default margin of the time diagram

signals:
    void soundColoursChanged(TColorBGR on, TColorBGR off);
    // The diagram options dialog changed the diagram's properties (OK or Apply).
    void diagramPropertiesChanged();
    void channelColoursChanged(TColorBGR left, TColorBGR right);

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void buildPanels(QVBoxLayout* col);
    QWidget* buildXRow();
    void connectDiagrams();
    void showXLimits();
    void applyOptions(const TDiaOptions& o);
    void applyMarginColour();
    void placeSecondary(QWidget* w, int height, bool draggable);
    void removePlaceholder();
    QWidget* makePlaceholder(const QString& text, int32_t tag);
    void relayoutViews();
    void applySplit();

    std::unique_ptr<TDiaWindowModel> m_model;   // what the window does
    TDiagrammView* m_mainView = nullptr;         // main diagram (diagr2d)
    TDiagrammView* m_timeView = nullptr;         // time diagram (DiaZpanel), hidden when not hosted
    QWidget* m_secHost = nullptr;                // lower part of the splitter
    QWidget* m_secPanel = nullptr;               // hosted secondary panel (null: none)
    QWidget* m_placeholder = nullptr;            // Thiele-Small / oscilloscope place, owned here
    QSplitter* m_split = nullptr;                // main diagram above, secondary panel below
    std::array<TCurvePanel*, kDiaUserCurves> m_panels{}; // slots 0..7
    TCurvePanel* m_ideal = nullptr;              // "Ideal" (hidden)
    QPushButton* m_clear = nullptr;              // "clear curves"
    QScrollBar* m_shift = nullptr;               // "Shift to next curve"
    QLineEdit* m_xmin = nullptr;                 // "X min / Hz"
    QLineEdit* m_xmax = nullptr;                 // "X max / Hz"
    QLabel* m_xminLabel = nullptr;
    QLabel* m_xmaxLabel = nullptr;
    int m_secWanted = -1;                        // wanted height of the secondary panel, pixels
    double m_secShare = 0.0;                     // share of the height still to apply (0: none)
    int32_t m_resultTextSize = 8;                // legend font size, points
    QTimer* m_commentPaint = nullptr;            // paints result lines no package followed
};
