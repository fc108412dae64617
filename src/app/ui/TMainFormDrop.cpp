// The main window as a drop target: a dropped curve file loads into the diagram, a preset file goes to the presets.
#include "app/ui/TMainForm.h"

#include "base/vlMessages.h"
#include "display/TCurveEdit.h"
#include "display/ui/Tdiafrm.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

namespace {

// The local file of a drop, empty when it carries none or more than one.
QString droppedFile(const QMimeData* m)
{
    if (!m || !m->hasUrls() || m->urls().size() != 1 || !m->urls().first().isLocalFile()) return {};
    return m->urls().first().toLocalFile();
}

} // namespace

void TMainForm::dragEnterEvent(QDragEnterEvent* e)
{
    const QString ext = QFileInfo(droppedFile(e->mimeData())).suffix().toLower();
    if (ext == "cur" || (ext == "atp" && m_dropPreset)) e->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* e)
{
    const QString file = droppedFile(e->mimeData());
    if (file.isEmpty() || !dropFile(file)) return;
    e->acceptProposedAction();
}

bool TMainForm::dropFile(const QString& file)
{
    const QString ext = QFileInfo(file).suffix().toLower();
    if (ext == "atp") return m_dropPreset && m_dropPreset(file);
    if (ext != "cur" || !m_diafrm) return false;
    Tcurve* c = nullptr;
    if (!m_diafrm->model().getselectedCurve(0, c) || !c) {
        vl::warningBox("No curve is selected to take " + file);
        return false;
    }
    QString why;
    if (!TCurveEdit::loadCurveKeeping(*c, file, &why)) {
        vl::errorBox("Cannot load " + file + "\r\n" + why);
        return false;
    }
    c->Fcvis = true;
    TDiagramm& d = m_diafrm->diagr2d();
    d.Curve2Dia(c->line);
    d.paintNew(false);
    m_diafrm->showCurvesDats();
    return true;
}
