// The main window: owns the running system, starts and stops the sound module.
#pragma once

#include "app/TMemIniFile.h"
#include "core/soundDLLImpDyn.h"

#include <QMainWindow>

class QAction;
class QLabel;

// The main window. Creating it starts the sound module (scan, fallbacks, records, callbacks);
// closing it saves the settings and shuts the module down in the required order.
// GUI thread only; the module's callbacks only post messages to it.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        QString soundModule; // module to start with instead of the stored one (empty: stored)
    };

    explicit TMainForm(const Options& options, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The module start-up asked to end the program (no usable module); nothing is running.
    bool startupFailed() const { return m_startAction == eSoundStart::ssTerminate; }
    // The module refused to initialise; the window closes itself through its close path.
    bool closeRequested() const { return m_startAction == eSoundStart::ssCloseWindow; }
    const QString& soundDLLname() const { return SoundDLLname; }
    QString settingsFileName() const;
    // The texts of the sound-module overview, for tests and scripts.
    QString overviewText() const;
    QAction* altDLLAction() const { return m_altDLL; }
    bool saveSettings(); // writes the main settings file; false after showing the error

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void loadSettings();
    void startSound();
    void buildMenus();
    void buildOverview();
    void refreshSoundTexts();
    void selectAlternativeDLL();
    void soundDialog(int kind);
    TsoundCallbacks callbacks();
    void handleMessage(int msg);

    bool bMainClosing = true;       // true until start-up ends and again from shutdown on
    QString SoundDLLname;           // file name of the sound module in use
    int IODlgLink = 0;              // 0, or 10 when the module's input and output dialogs are linked
    TMemIniFile m_ini;              // the main settings file
    eSoundStart m_startAction = eSoundStart::ssOK; // what the module start-up asked for
    bool m_shutDown = false;        // shutdown order already run
    QAction* m_altDLL = nullptr;    // "Alternative sound DLL"
    QAction* m_altDLLSep = nullptr; // its separator
    QLabel* m_overview = nullptr;   // module, devices, formats and channels
    QLabel* m_inStatus = nullptr;   // input state in the status bar
    QLabel* m_outStatus = nullptr;  // output state in the status bar
};
