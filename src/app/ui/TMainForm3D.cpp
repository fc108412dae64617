// The main window's side of the 3D window: making it, feeding it, showing it in mode 2.
#include "app/ui/TMainForm.h"

#include "display/ui/Tdiafrm.h"
#include "display/ui/Tview3dset.h"
#include "measurements/MeasurementClass.h"
#include "measurements/ui/TChild3D.h"

#include <QAction>
#include <QBoxLayout>
#include <QGuiApplication>

void TMainForm::build3DWindow(QWidget* central, QBoxLayout* col)
{
    m_child3D = new TChild3D(central);
    m_child3D->mainWindowColour = m_set.COLFORM;
    m_child3D->hide();
    col->addWidget(m_child3D, 1);
    m_diafrm->model().on3DData = [this](TGdata& g) { m_child3D->pushPackage(g); };
    m_child3D->onShow3D = [this](bool on) { show3DWindow(on); };
}

void TMainForm::show3DWindow(bool on)
{
    m_diafrm->setVisible(!on);
    m_child3D->setVisible(on);
    if (auto* freqText = findChild<QAction*>("acFreqText")) freqText->setEnabled(!on);
    // The view tool floats beside the window, only where someone can use it.
    if (on && QGuiApplication::platformName() != "offscreen") {
        m_child3D->viewTool->placeBeside(QRect(mapToGlobal(QPoint(0, 0)), size()));
        m_child3D->viewTool->show();
    } else {
        m_child3D->viewTool->hide();
    }
}

bool TMainForm::save3DWindowSettings()
{
    if (!m_child3D || m_diaTopic != MeasuringModeTopic(2)) return false;
    if (m_child3D->settingsLoaded()) m_child3D->saveDia(m_ini, m_diaTopic);
    return true;
}

bool TMainForm::refuse3DFrequencyText(QString* error) const
{
    if (!m_child3D || !m_child3D->isVisibleTo(const_cast<TMainForm*>(this))) return false;
    if (error) *error = "the 3D FFT shows no frequency diagram";
    return true;
}
