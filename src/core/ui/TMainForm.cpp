// The main window: start-up and shutdown order, the sound module's messages, the options menu.
#include "core/ui/TMainForm.h"

#include "app/utils.h"
#include "app/vlMessages.h"
#include "core/ui/TSelSoundDLL.h"
#include "core/winMessage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFormLayout>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <atomic>

namespace {

// The window the module's callbacks post to, and whether it accepts messages now.
std::atomic<QObject*> g_receiver{nullptr};
std::atomic<bool> g_closing{true};

void post(int msg)
{
    if (!g_closing.load(std::memory_order_acquire)) postMsg(g_receiver.load(), msg);
}
void cbInState() { post(MSG_IN_STATE); }
void cbOutState() { post(MSG_OUT_STATE); }
void cbInText() { post(MSG_IN_TEXT); }
void cbOutText() { post(MSG_OUT_TEXT); }

const char* const kSectionMain = "MAIN";
const char* const kSeparator = ".";

} // namespace

TMainForm::TMainForm(const Options& options, QWidget* parent)
    : QMainWindow(parent), m_ini(settingsFileName())
{
    g_closing = true;
    g_receiver = this;
    setWindowTitle("Velmora  V " + vlVersionText(vlProgramVersion()));
    setMinimumSize(590, 360);
    resize(720, 480);
    loadSettings();
    if (!options.soundModule.isEmpty()) SoundDLLname = options.soundModule;
    startSound();
    buildMenus();
    buildOverview();
    if (m_startAction != eSoundStart::ssOK) return;
    bMainClosing = false;
    g_closing = false;
    postMsg(this, MSG_IN_STATE);
}

TMainForm::~TMainForm()
{
    if (!m_shutDown && m_startAction != eSoundStart::ssTerminate) {
        g_closing = true;
        soundDLL().shutdown(kSeparator[0]);
    }
    g_receiver = nullptr;
}

QString TMainForm::settingsFileName() const { return vlProgramDataFolder() + "velmora30.ini"; }

void TMainForm::loadSettings()
{
    if (!m_ini.loadError().isEmpty()) vl::warningBox(m_ini.loadError());
    SoundDLLname = m_ini.ReadString(kSectionMain, "SoundDLLname", soundDLL().defaultName());
    IODlgLink = m_ini.ReadInteger(kSectionMain, "IODlgLink", 0) != 0 ? 10 : 0;
}

void TMainForm::startSound()
{
    TsoundDLLImpDyn& dll = soundDLL();
    const TsoundStartResult r = dll.startup(true, TsoundDLLImpDyn::kStartFlags, SoundDLLname);
    m_startAction = r.action;
    if (r.action == eSoundStart::ssOK) dll.readAddresses(r.count, callbacks());
}

TsoundCallbacks TMainForm::callbacks()
{
    TsoundCallbacks cb;
    cb.inState = cbInState;
    cb.outState = cbOutState;
    cb.inText = cbInText;
    cb.outText = cbOutText;
    cb.app = qApp;
    return cb;
}

void TMainForm::buildMenus()
{
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Exit", this, &QWidget::close);

    QMenu* opt = menuBar()->addMenu("&Options");
    m_altDLL = opt->addAction("Alternative sound DLL", this, &TMainForm::selectAlternativeDLL);
    m_altDLLSep = opt->addSeparator();
    m_altDLL->setVisible(soundDLL().altDLLVisible());
    m_altDLLSep->setVisible(soundDLL().altDLLVisible());
    opt->addAction("Audio-Out-Device", this, [this] { soundDialog(2); });
    opt->addAction("Audio-Out-Parameter", this, [this] { soundDialog(3); });
    opt->addAction("Audio-In-Device", this, [this] { soundDialog(0); });
    opt->addAction("Audio-In-Parameter", this, [this] { soundDialog(1); });
    QAction* link = opt->addAction("Link Audio-In/Out-Dialogs");
    link->setCheckable(true);
    link->setChecked(IODlgLink != 0);
    connect(link, &QAction::toggled, this, [this](bool on) { IODlgLink = on ? 10 : 0; });
}

void TMainForm::buildOverview()
{
    m_overview = new QLabel(this);
    m_overview->setTextFormat(Qt::PlainText);
    m_overview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_overview->setMargin(16);
    setCentralWidget(m_overview);
    m_inStatus = new QLabel(this);
    m_outStatus = new QLabel(this);
    statusBar()->addWidget(m_inStatus, 1);
    statusBar()->addWidget(m_outStatus, 1);
    refreshSoundTexts();
}

QString TMainForm::overviewText() const { return m_overview ? m_overview->text() : QString(); }

void TMainForm::refreshSoundTexts()
{
    TsoundDLLImpDyn& dll = soundDLL();
    if (m_startAction != eSoundStart::ssOK) {
        m_overview->setText("No sound module is running.");
        return;
    }
    const int st = dll.SDgetSoundStatus();
    const bool inRun = dll.usable() && (st & SD_ST_IN_RUN);
    const bool outRun = dll.usable() && (st & SD_ST_OUT_RUN);
    QStringList lines;
    lines << "Sound module:\t" + dll.description(SD_Q_DESCRIPTION, 120) + "  (" + SoundDLLname +
                 ", V" + QString::number(dll.version() / 100.0, 'f', 2) + ")";
    lines << "Input device:\t" + dll.inDeviceName() + "  " + dll.inFormatText();
    lines << "Input channels:\t" + dll.channelNames('I').join(", ");
    lines << "Output device:\t" + dll.outDeviceName() + "  " + dll.outFormatText();
    lines << "Output channels:\t" + dll.channelNames('O').join(", ");
    lines << "Module folder:\t" + dll.folder();
    m_overview->setText(lines.join('\n'));
    m_inStatus->setText(QString("In: ") + (inRun ? "running" : "stopped") + "  " + dll.inFormatText());
    m_outStatus->setText(QString("Out: ") + (outRun ? "running" : "stopped") + "  " +
                         dll.outFormatText());
}

void TMainForm::selectAlternativeDLL()
{
    TsoundDLLImpDyn& dll = soundDLL();
    g_closing = true;
    if (selectSoundDLL(dll, SoundDLLname, this) < 0 && dll.handle()) {
        g_closing = false;
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const TsoundRestartResult r = restartSoundDLL(dll, SoundDLLname, callbacks());
    m_startAction = r.start.action;
    QApplication::restoreOverrideCursor();
    m_altDLL->setVisible(dll.altDLLVisible());
    m_altDLLSep->setVisible(dll.altDLLVisible());
    refreshSoundTexts();
    if (m_startAction == eSoundStart::ssOK) {
        g_closing = bMainClosing;
        return;
    }
    close();
}

void TMainForm::soundDialog(int kind)
{
    TsoundDLLImpDyn& dll = soundDLL();
    const int st = dll.SDgetSoundStatus();
    const bool input = kind < 2;
    if (!dll.usable() || (st & (input ? SD_ST_IN_RUN : SD_ST_OUT_RUN))) return;
    dll.SDSoundDlg(IODlgLink + kind);
    refreshSoundTexts();
}

bool TMainForm::event(QEvent* e)
{
    if (e->type() == TMsgEvent::eventType()) {
        if (!bMainClosing) handleMessage(static_cast<TMsgEvent*>(e)->msg);
        return true;
    }
    return QMainWindow::event(e);
}

void TMainForm::handleMessage(int msg)
{
    switch (msg) {
    case MSG_IN_STATE:
    case MSG_OUT_STATE:
    case MSG_IN_TEXT:
    case MSG_OUT_TEXT: refreshSoundTexts(); break;
    default: break;
    }
}

bool TMainForm::saveSettings()
{
    m_ini.WriteString("General", "Productname", "velmora30");
    const vlVersion v = vlProgramVersion();
    m_ini.WriteString("General", "Version", QString::number(v.major) + "." + QString::number(v.minor));
    m_ini.WriteString("General", "Revision", QString::number(v.release));
    m_ini.WriteString("General", "Build", QString::number(v.build));
    m_ini.WriteString("General", "SaveTime",
                      vlTimeText(1));
    m_ini.WriteBool(kSectionMain, "bFirstStart", false);
    m_ini.WriteString(kSectionMain, "SoundDLLname", SoundDLLname);
    m_ini.WriteInteger(kSectionMain, "IODlgLink", IODlgLink);
    QString why;
    if (m_ini.UpdateFile(&why)) return true;
    vl::errorBox("Error writing Ini-File " + m_ini.FileName() + "\r\n" + why);
    return false;
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!m_shutDown) {
        bMainClosing = true;
        g_closing = true;
        if (m_startAction != eSoundStart::ssTerminate) saveSettings();
        if (m_startAction != eSoundStart::ssTerminate && soundDLL().usable())
            soundDLL().shutdown(kSeparator[0]);
        m_shutDown = true;
    }
    event->accept();
}
