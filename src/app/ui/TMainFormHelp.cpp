// The main window's help: the help menu, the help window by topic number, the about box.
#include "app/ui/TMainForm.h"

#include "app/ui/THelpWindow.h"
#include "base/utils.h"
#include "base/vlHelp.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

void TMainForm::buildHelpMenu()
{
    QMenu* help = menuBar()->addMenu("&Help");
    QAction* contents = help->addAction("&Contents", this, [this] { openHelp(1); });
    contents->setObjectName("acHelpContents");
    QAction* wiring = help->addAction("Wiring Diagrams", this, [this] { openHelp(WiringHelpTopic(measuringMode())); });
    wiring->setObjectName("acWiring");
    help->addAction("Inf&o...", this, [this] { QMessageBox::about(this, "Info", aboutText()); });
    // F1: the page of the window's help context (the current mode's measurement).
    auto* f1 = new QAction("Help on the current measurement", this);
    f1->setShortcut(Qt::Key_F1);
    connect(f1, &QAction::triggered, this, [this] { openHelp(m_helpContext); });
    addAction(f1);
    vl::setHelpHandler([this](int topic) { openHelp(topic); });
}

int TMainForm::openHelp(int topic)
{
    if (!m_helpWnd) m_helpWnd = new THelpWindow(this);
    return m_helpWnd->showTopic(topic);
}

QString TMainForm::aboutText() const
{
    QString text = windowTitle() + "\n" + vlVersionLine();
    TsoundDLLImpDyn& dll = soundDLL();
    if (m_startAction == eSoundStart::ssOK && dll.usable())
        text += "\n\nSound module: " + dll.description(SD_Q_DESCRIPTION, 120) + "\n" + m_set.SoundDLLname +
                ", version " + QString::number(dll.version() / 100.0, 'f', 2);
    else
        text += "\n\nNo sound module is running.";
    return text;
}

// A right click on a mode's tool button opens the wiring diagram of that mode.
void TMainForm::connectModeButtonHelp()
{
    for (QAbstractButton* b : m_modeGroup->buttons()) {
        const int mode = m_modeGroup->id(b);
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(b, &QWidget::customContextMenuRequested, this, [this, mode] { openHelp(WiringHelpTopic(mode)); });
    }
}

void TMainForm::showFirstStartHelp()
{
    if (!m_set.bFirstStart || m_options.scripted) return; // nobody reads it in a scripted run
    m_set.bFirstStart = false; // once per settings file
    openHelp(999);
    // The welcome page stands beside the window; the keys stay with the window (F3, F4, ...).
    activateWindow();
}
