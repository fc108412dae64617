// The 3D window's time diagram: the popup menu of its points, the FFT range lines, its colours.
#include "measurements/ui/TChild3D.h"

#include "display/TDiaColorSet.h"
#include "display/ui/TDiagrammView.h"
#include "display/ui/TdiaCdlg.h"

#include <QMenu>
#include <cmath>

namespace {

constexpr double kDefaultXmax_ms = 1500.0; // x end of the time diagram's default

} // namespace

void TChild3D::timeDiagramClicked(QPoint global)
{
    TDiagramm& t = diagrammZ->dia();
    const QPoint local = diagrammZ->mapFromGlobal(global);
    if (!t.PointInDiaReci(local.x(), local.y()))
        return;
    makeTimePopup(t.curXval_ms() - t.xScalOffset(), t.cursorYval())->popup(global);
}

QMenu* TChild3D::makeTimePopup(double x_ms, double y)
{
    auto* m = new QMenu(this);
    m->setAttribute(Qt::WA_DeleteOnClose);
    m->addAction("This point (" + QString::asprintf("%1.2f", x_ms) + "ms / " + QString::asprintf("%1.4f", y) +
                 "FS) will be now")
        ->setEnabled(false);
    m->addAction("FFT begin", this, [this, x_ms] { fftBeginAt(x_ms); });
    m->addAction("diagram begin", this, [this, x_ms] {
        if (x_ms < diagrammZ->dia().X_max()) diagrammZ->dia().setX_min(x_ms);
    });
    m->addAction(QString("around impulse is") + (diagrammZ->dia().aroundIps() ? " ON" : " OFF"), this,
                 [this] { toggleAroundIps(); });
    m->addAction("diagram end", this, [this, x_ms] {
        if (x_ms > diagrammZ->dia().X_min()) diagrammZ->dia().setX_max(x_ms);
    });
    m->addAction("echo point", this, [this, x_ms] { echoPointAt(x_ms); });
    m->addAction("diagram y max", this, [this, y] { diagramYmaxAt(y); });
    QString trig = "trigger level";
    if (pTriggLevel)
        trig += " : " + QString::asprintf("%1.2f", *pTriggLevel) + "FS";
    m->addAction(trig, this, [this, y] { triggerLevelAt(y); })->setEnabled(pTriggLevel != nullptr);
    m->addAction("diagram default", this, [this] { diagramDefault(); });
    return m;
}

void TChild3D::FFTLines(double t)
{
    const double rate = Samplefreq > 0 ? Samplefreq : 44100;
    double end = t + FFTpoints * 1000.0 / rate;
    if (pEcho_ms && *pEcho_ms != -1.0)
        end = std::min(*pEcho_ms, end);
    m_rangeFrom = t;
    m_rangeTo = end;
    diagrammZ->dia().SetRangeLinesValues_ms(end, t);
    diagrammZ->dia().setRangeLines(true);
    diagrammZ->update();
}

void TChild3D::fftBeginAt(double x_ms)
{
    const double rate = Samplefreq > 0 ? Samplefreq : 44100;
    if (pFFtbegin_samp)
        *pFFtbegin_samp = int32_t(std::lround(x_ms * rate / 1000.0));
    m_rangeFrom = x_ms;
    m_rangeTo = x_ms + FFTpoints * 1000.0 / rate;
    diagrammZ->dia().SetRangeLinesValues_ms(m_rangeTo, m_rangeFrom);
    diagrammZ->dia().setRangeLines(true);
    paraChanged();
}

void TChild3D::echoPointAt(double x_ms)
{
    if (pEcho_ms)
        *pEcho_ms = x_ms;
    diagrammZ->dia().SetExtraLineValue(x_ms);
    diagrammZ->dia().setExtraLine(true);
    paraChanged();
}

void TChild3D::triggerLevelAt(double y)
{
    if (!pTriggLevel)
        return;
    *pTriggLevel = std::fabs(y);
    paraChanged();
}

void TChild3D::diagramYmaxAt(double y)
{
    if (y == 0.0)
        return; // a zero span would leave nothing to draw
    diagrammZ->dia().setY1_max(std::fabs(y));
    diagrammZ->dia().setY1_min(-std::fabs(y));
}

void TChild3D::toggleAroundIps()
{
    TDiagramm& t = diagrammZ->dia();
    t.setaroundIps(!t.aroundIps());
    if (!t.aroundIps()) {
        diagramDefault();
        return;
    }
    const double beg = pFFtbegin_samp ? *pFFtbegin_samp : 0;
    t.SetaroundSkal_ms(beg * 1000.0 / (Samplefreq > 0 ? Samplefreq : 44100));
}

void TChild3D::diagramDefault()
{
    TDiagramm& t = diagrammZ->dia();
    t.setaroundIps(false);
    t.setxScalOffset(0.0);
    t.setX_minX_Max(kDefaultXmax_ms, 0.0);
    t.setY1_max(1.0);
    t.setY1_min(-1.0);
    if (pEcho_ms)
        *pEcho_ms = -1.0;
    t.setExtraLine(false);
    paraChanged();
}

void TChild3D::openTimeColours()
{
    TDiagramm& t = diagrammZ->dia();
    TdiaCdlg dlg(TDiaColorSet::fromDiagram(t), false, mainWindowColour, this);
    if ((runColourDialog ? runColourDialog(dlg) : dlg.exec()) != QDialog::Accepted)
        return;
    dlg.colors().applyTo(t);
    diagrammZ->relayout();
}
