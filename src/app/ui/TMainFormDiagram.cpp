// The main window's diagram part: the diagram window's settings, text export, clipboard and curve tool.
#include "app/ui/TMainForm.h"
#include "measurements/tSweepmeas.h"
#include "measurements/ui/TChild3D.h"

#include "base/utils.h"
#include "base/vlMessages.h"
#include "display/ui/TFoToolAnalyzeCurve.h"
#include "display/ui/Tdiafrm.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

namespace {

const char* const kTextFilter = "Text File (*.txt);;Correction File (*.cor)";

} // namespace

// ---- menus --------------------------------------------------------------------------------------

void TMainForm::buildTextExportItems(QMenu* file)
{
    QAction* f = file->addAction("&Save freq. diagram as text file", this, [this] { saveDiagramText('F'); });
    f->setObjectName("acFreqText");
    f->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F2));
    file->addAction("Save time diagram as text file", this, [this] { saveDiagramText('T'); });
    // Alt+F2 has no menu item: it repeats the last frequency export without asking.
    auto* again = new QAction("Save freq. diagram to the last text file", this);
    again->setObjectName("acFreqTextAgain");
    again->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F2));
    connect(again, &QAction::triggered, this, [this] { saveFreqTextToLastName(); });
    addAction(again);
    file->addSeparator();
}

void TMainForm::buildEditMenu()
{
    QMenu* edit = menuBar()->addMenu("&Edit");
    QAction* copy = edit->addAction("&Copy diagram to clipboard", this, &TMainForm::copyDiagramToClipboard);
    // Ctrl+C as well; a text field with the focus takes it first (it claims the standard copy
    // key), so copying its text keeps working.
    copy->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Insert), QKeySequence(Qt::CTRL | Qt::Key_C)});
}

void TMainForm::buildToolsMenu()
{
    QMenu* tools = menuBar()->addMenu("Tools");
    tools->addAction("Analyse measured curves", this, &TMainForm::openCurveAnalysis);
}

// ---- diagram window settings --------------------------------------------------------------------

// The secondary panel a mode shows until its measurement hosts its own: the time diagram for
// the spectrum, sweep and impulse modes, the places of the Thiele-Small and oscilloscope panels.
void TMainForm::hostSecondaryFor(int MM)
{
    switch (MM) {
    case 1: case 3: case 4: case 5: case 11: case 12: m_diafrm->OpenSecundaryWindow(MM); break;
    case 8: m_diafrm->OpenSecundaryWindow(8); break;
    case 9: m_diafrm->OpenSecundaryWindow(9); break;
    default: m_diafrm->OpenSecundaryWindow(9999); break;
    }
}

void TMainForm::switchDiagramMode(int MM)
{
    if (!m_diafrm) return;
    hostSecondaryFor(MM);
    m_diaTopic = DiagramTopicFor(MM, ActiveWobDat().RefMess);
    m_diafrm->loadDia(readIni(), m_diaTopic, diagramDefaults());
}

void TMainForm::clearDiagramData()
{
    TDiagramm& main = m_diafrm->diagr2d();
    main.clearDiaData();
    main.setRem2({});
    if (TDiagramm* time = m_diafrm->model().timeDia()) time->clearDiaData();
    main.paintNew(false);
}

tdiaset TMainForm::diagramDefaults() const
{
    tdiaset ds;
    ds.Einh = LevelUnitLabel(m_fft);
    ds.Einhsec = RightAxisUnitLabel(m_fft);
    return ds;
}

void TMainForm::saveDiagramSettings()
{
    if (save3DWindowSettings()) return; // the 3D mode's topic holds the 3D window, not the diagram
    if (saveScopeSettings()) return;    // the scope's topic holds the scope, not the diagram
    if (m_diafrm && !m_diaTopic.isEmpty()) m_diafrm->saveDia(m_ini, m_diaTopic);
}

// ---- text export --------------------------------------------------------------------------------

QString TMainForm::autoExportName(const QString& last, const QString& stem, const QString& ext, const QDateTime& t)
{
    const QString folder = last.isEmpty() ? QDir::homePath() : QFileInfo(last).absolutePath();
    const QDate d = t.date();
    const QTime h = t.time();
    return QDir(folder).filePath(stem + QString::asprintf("_%.4d_%.2d_%.2d_%.2d-%.2d-%.2d", d.year(), d.month(), d.day(),
                                                          h.hour(), h.minute(), h.second()) + ext);
}

bool TMainForm::saveDiagramText(int DiaType)
{
    const bool freq = DiaType == 'F';
    QString name;
    if (m_set.AutoNamed) {
        name = autoExportName(m_set.AsTextFname, freq ? "FreqDiaAsTxt" : "TimeDiaAsTxt", ".txt",
                              QDateTime::currentDateTime());
    } else {
        const QString title = freq ? "frequency diagram values to text file" : "time diagram values to text file";
        if (m_chooseTextFile) {
            name = m_chooseTextFile(title, m_set.AsTextFname);
        } else {
            QFileDialog dlg(this, title, m_set.AsTextFname, kTextFilter);
            dlg.setAcceptMode(QFileDialog::AcceptSave);
            dlg.setDefaultSuffix("txt");
            if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) name = dlg.selectedFiles().first();
        }
        if (name.isEmpty()) return false;
        m_set.AsTextFname = name;
    }
    if (!m_diafrm->SaveAsText(name, freq ? 'F' : 'T')) return true;
    vl::errorBox(name + " could not created");
    return false;
}

bool TMainForm::saveFreqTextToLastName()
{
    const QFileInfo last(m_set.AsTextFname);
    // The stored default is only a pattern ("*.txt"): there is no last file to write yet.
    if (m_set.AsTextFname.isEmpty() || last.fileName().contains(u'*')) return saveDiagramText('F');
    if (!m_diafrm->SaveAsText(m_set.AsTextFname, 'F')) return true;
    vl::errorBox(m_set.AsTextFname + " could not created");
    return false;
}

bool TMainForm::exportFrequencyText(const QString& file, QString* error)
{
    if (refuse3DFrequencyText(error)) return false;
    return m_diafrm && !m_diafrm->SaveAsText(file, 'F', error);
}

// ---- clipboard, curve tool ----------------------------------------------------------------------

void TMainForm::copyDiagramToClipboard()
{
    // The 3D and oscilloscope windows bring their own pictures.
    if (m_fft.DiagramForm == Sample_2D || m_fft.DiagramForm == Samplesweep) m_diafrm->EditCut();
    else if (m_fft.DiagramForm == Sample_3D && m_child3D && m_child3D->isVisible()) m_child3D->EditCut();
}

void TMainForm::openCurveAnalysis()
{
    TFoToolAnalyzeCurve tool(m_fft, m_ana, m_calibration, this);
    if (m_runCurveTool) m_runCurveTool(tool);
    else tool.exec();
}
