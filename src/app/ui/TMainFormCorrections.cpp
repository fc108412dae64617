// The main window's correction menu: open, switch on and off, and edit the two correction files.
#include "analysis/ui/Tkoedi.h"
#include "base/utils.h"
#include "app/ui/TMainForm.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>

namespace {

struct CorrectionTexts {
    const char* open;   // menu item that loads a file
    const char* active; // check item
    const char* edit;   // menu item that opens the editor
    const char* filter; // file dialog filter
};

const CorrectionTexts kTexts[2] = {
    {"Open &Input Correction File", "Input Correction active", "Edit Input Correction File",
     "Correction File (*.cor);;Text File (*.txt);;All Files (*)"},
    {"Open &Output Correction File", "Output Correction active", "Edit Output Correction File",
     "Correction File (*.cor)"}};

constexpr int kCorrectionHelpTopic = 46; // the correction files page

} // namespace

void TMainForm::buildCorrectionMenu()
{
    QMenu* m = menuBar()->addMenu("&Correction");
    for (TCorrectionSet::Which w : {TCorrectionSet::Input, TCorrectionSet::Output}) {
        const CorrectionTexts& t = kTexts[w];
        if (w == TCorrectionSet::Output) m->addSeparator();
        m->addAction(t.open, this, [this, w] { openCorrectionFile(w); });
        m_acCorActive[w] = m->addAction(t.active, this, [this, w] {
            m_cors->toggleActive(w);
            refreshCorrectionMenu();
        });
        m_acCorActive[w]->setCheckable(true);
        m->addAction(t.edit, this, [this, w] { editCorrectionFile(w); });
    }
    buildCorrectionTest(m);
    m->addSeparator();
    m->addAction("Open &Microphone Calibration File...", this, &TMainForm::chooseMicCalibration);
    connect(m, &QMenu::aboutToShow, this, &TMainForm::refreshCorrectionMenu);
    refreshCorrectionMenu();
}

void TMainForm::refreshCorrectionMenu()
{
    for (TCorrectionSet::Which w : {TCorrectionSet::Input, TCorrectionSet::Output})
        if (m_acCorActive[w]) m_acCorActive[w]->setChecked(m_cors && m_cors->active(w));
    if (m_status) refreshModePanel();
}

void TMainForm::openCorrectionFile(TCorrectionSet::Which w)
{
    QString& last = w == TCorrectionSet::Input ? m_set.AsInCorFname : m_set.AsOutCorFname;
    const QString name = QFileDialog::getOpenFileName(this, QString::fromUtf8(kTexts[w].open).remove('&'),
                                                      QFileInfo(last).absolutePath(), kTexts[w].filter);
    if (name.isEmpty()) return;
    last = name;
    m_cors->open(w, name);
    refreshCorrectionMenu();
}

void TMainForm::editCorrectionFile(TCorrectionSet::Which w)
{
    if (m_cors->needsFile(w)) {
        openCorrectionFile(w);
        if (m_cors->needsFile(w)) return;
    }
    const QString file = m_cors->edit(w);
    if (file.isEmpty()) return;
    auto* editor = new Tkoedi(m_cors->curve(w), file, m_cors->separator(), vlLanguageCode(), this);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    connect(editor, &Tkoedi::correctionChanged, this, &TMainForm::refreshCorrectionMenu);
    // "Save &&Test" and every close show the rebuilt correction in the diagram.
    connect(editor, &Tkoedi::correctionChanged, this, [this] { showCorrections(true); });
    connect(editor, &Tkoedi::helpRequested, this, [this] { openHelp(kCorrectionHelpTopic); });
    editor->show();
    refreshCorrectionMenu();
}
