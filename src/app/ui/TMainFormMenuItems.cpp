// The main window's remaining menu items: "&FFT", "Test vs. Reference", "Test Correction Files", "&Miscellaneous".
#include "app/ui/TMainForm.h"

#include "app/ui/TMiscDlg.h"
#include "base/utils.h"
#include "base/vlMessages.h"
#include "core/winMessage.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/tFFT2Dmeas.h"
#include "measurements/tOSZImeas.h"
#include "measurements/tSweepmeas.h"

#include <QAction>
#include <QMenu>

// ---- Analyze ------------------------------------------------------------------------------------

void TMainForm::buildAnalyzeExtras(QMenu* analyze)
{
    QAction* first = analyze->actions().value(0);
    auto* fft = new QAction("&FFT", analyze);
    fft->setObjectName("acFFT");
    connect(fft, &QAction::triggered, this, &TMainForm::FFT1Click);
    auto* ref = new QAction("Test vs. Reference", analyze);
    ref->setObjectName("acTestVsReference");
    ref->setShortcut(Qt::Key_F5);
    connect(ref, &QAction::triggered, this, [this] { testVsReference(); });
    analyze->insertActions(first, {fft, ref});
}

bool TMainForm::testVsReference()
{
    Tcurve* c = nullptr;
    if (!m_diafrm || !m_diafrm->model().getselectedCurve(0, c) || !c) {
        vl::warningBox("Test vs. Reference: select the curve to compare first");
        return false;
    }
    if (m_diafrm->model().compare2Ideal(c->line)) return true;
    vl::warningBox("Test vs. Reference: no target curve in " + vlCommonDataFolder() + "zielkurve.cur");
    return false;
}

// ---- Correction ---------------------------------------------------------------------------------

void TMainForm::buildCorrectionTest(QMenu* correction)
{
    correction->addSeparator();
    m_acTestCors = correction->addAction("Test Correction Files", this, [this](bool on) { showCorrections(on); });
    m_acTestCors->setObjectName("acTestCorrections");
    m_acTestCors->setCheckable(true);
}

// Slots 6 and 7 of the diagram show the active input (red) and output (blue) corrections; off
// gives the slots back their colours and clears them.
void TMainForm::showCorrections(bool on)
{
    if (!m_diafrm || !m_cors) return;
    TDiaWindowModel& dia = m_diafrm->model();
    if (m_corsShown) dia.showCors(nullptr, nullptr, false); // the colours are remembered once
    if (on)
        dia.showCors(&m_cors->curve(TCorrectionSet::Output), &m_cors->curve(TCorrectionSet::Input), true);
    m_corsShown = on;
    if (m_acTestCors) m_acTestCors->setChecked(on);
}

// ---- Options ------------------------------------------------------------------------------------

void TMainForm::buildMiscItem(QMenu* options)
{
    auto* misc = new QAction("&Miscellaneous", options);
    misc->setObjectName("acMiscellaneous");
    connect(misc, &QAction::triggered, this, [this] { openMiscDialog(); });
    options->insertAction(options->actions().value(0), misc);
    options->insertSeparator(options->actions().value(1));
}

TMiscValues TMainForm::miscValues() const
{
    TMiscValues v;
    v.textSep = m_set.textSep;
    v.AutoNamed = m_set.AutoNamed;
    v.FRAMERESOL_ms = int(m_set.FRAMERESOL_ms + 0.5);
    if (m_diafrm) {
        const TDiagramm& d = m_diafrm->diagr2d();
        v.FPrec = d.FPrec;
        v.FDigits = d.FDigits;
        v.FTlines = d.FTlines;
    }
    return v;
}

int TMainForm::openMiscDialog()
{
    TMiscDlg dlg(miscValues(), this);
    const int r = m_runMiscDlg ? m_runMiscDlg(dlg) : dlg.exec();
    if (r == QDialog::Accepted) applyMiscValues(dlg.values());
    return r;
}

// To the main window, the 2D diagram and its time diagram, the corrections' loader; the module
// learns the separator through message 0x41A.
void TMainForm::applyMiscValues(const TMiscValues& v)
{
    m_set.textSep = v.textSep;
    m_set.AutoNamed = v.AutoNamed;
    m_set.FRAMERESOL_ms = v.FRAMERESOL_ms > 20 ? double(v.FRAMERESOL_ms) : 100.0;
    m_cors->setSeparator(v.textSep);
    if (m_diafrm) {
        m_diafrm->model().textSep = QChar::fromLatin1(v.textSep);
        TDiagramm* dias[2] = {&m_diafrm->diagr2d(), m_diafrm->model().timeDia()};
        for (TDiagramm* d : dias) {
            if (!d) continue;
            d->FPrec = v.FPrec;
            d->FDigits = v.FDigits;
            d->FTlines = v.FTlines;
        }
    }
    const double fr = m_set.FRAMERESOL_ms; // the running measurement takes it at once
    if (auto* m = dynamic_cast<tFFT2Dmeas*>(m_meas.get())) m->setFrameResolution_ms(fr);
    if (auto* m = dynamic_cast<tOSZImeas*>(m_meas.get())) m->setFrameResolution_ms(fr);
    if (auto* m = dynamic_cast<tSweepmeas*>(m_meas.get())) m->setFrameResolution_ms(fr);
    postMsg(this, MSG_SEPARATOR, v.textSep == ';' ? 1 : 0);
}

// ---- the diagram's properties and the mode's items ----------------------------------------------

void TMainForm::subscribeDiagramChanges()
{
    connect(m_diafrm, &Tdiafrm::diagramPropertiesChanged, this, [this] { rebuildDisplayCorrection(); });
}

// The display correction of the FFT and impulse modes: the pink-noise compensation (+3 dB per
// octave) when the diagram asks for it ("pink noise corr."), else none. Other modes keep theirs.
void TMainForm::rebuildDisplayCorrection()
{
    const int MM = measuringMode();
    const bool spectrumMode = MM == 1 || MM == 4 || MM == 5 || MM == 11 || MM == 12;
    const bool pink = spectrumMode && m_meas && m_diafrm && m_diafrm->diagr2d().comppink();
    setPinkNoiseFilterActive(pink);
    if (!m_meas || !spectrumMode) return;
    m_dispCor = Tcorri();
    if (pink) {
        m_dispCor.makeCorrArrPinkNoise();
        m_dispCor.setapplDir(1); // subtracts the falling slope: pink noise reads flat
    }
    m_meas->SetCors(&m_cors->curve(TCorrectionSet::Input), &m_cors->curve(TCorrectionSet::Output), &m_dispCor);
}

// Mode 2 has no frequency diagram to write as text; the modes with their own result layout
// start without the previous comment lines.
void TMainForm::markModeMenuItems(int MM)
{
    if (auto* f = findChild<QAction*>("acFreqText")) {
        f->setEnabled(MM != 2);
        f->setStatusTip(MM == 2 ? QStringLiteral("The 3D FFT shows no frequency diagram") : QString());
    }
    if (m_diafrm && (MM == 2 || MM == 3 || (MM >= 6 && MM <= 10))) m_diafrm->diagr2d().setRem2({});
}
