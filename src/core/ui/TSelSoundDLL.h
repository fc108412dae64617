// The dialog that picks another sound module, and the "Alternative sound DLL" command around it.
#pragma once

#include "core/soundDLLImpDyn.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QListWidget;
class QPushButton;

// Lists the usable modules ("description @ file name") and lets the user choose one.
// GUI thread only. The caller fills dStringl and dPreSoundName, runs the dialog and, on OK,
// reads dInd.
class TSelSoundDLL : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 114; // help topic of the "&Help" button

    explicit TSelSoundDLL(QWidget* parent = nullptr);

    // Fills ListBox1 from dStringl and preselects the first entry whose upper-cased text
    // contains the upper-cased dPreSoundName (that index becomes dInd). Done on every show.
    void fillList();
    int helpContext() const { return kHelpContext; }

    QStringList dStringl;  // entries shown, owned by the dialog
    int dInd = 0;          // index of the chosen entry
    QString dPreSoundName; // file name to preselect

    QListWidget* ListBox1;   // the entries
    QPushButton* OKBtn;      // closes with Accepted
    QPushButton* CancelBtn;  // closes with Rejected
    QPushButton* HelpBtn;    // emits helpRequested(kHelpContext)

signals:
    void helpRequested(int context);

protected:
    void showEvent(QShowEvent* event) override;
};

// Runs a TSelSoundDLL modally and returns its result code; tests replace it to drive the dialog.
using TSelSoundDLLRunner = std::function<int(TSelSoundDLL&)>;

// The first half of "Alternative sound DLL": unloads the current module (by name), scans the
// module folder, shows the dialog with fileName preselected. On OK with an entry chosen,
// fileName becomes that entry's file name and its index is returned; otherwise -1 and
// fileName is unchanged. The module is unloaded afterwards in every case: call
// restartSoundDLL next.
int selectSoundDLL(TsoundDLLImpDyn& dll, QString& fileName, QWidget* parent = nullptr,
                   const TSelSoundDLLRunner& run = {});

// Result of restartSoundDLL.
struct TsoundRestartResult {
    TsoundStartResult start; // start-up action and usable-module count
    bool records = false;    // at least one of the module's records is available
};

// The second half, with the busy cursor: start-up with a scan and the program's flags, then the
// record addresses with the callbacks. The caller re-initialises the mixer and refreshes its
// panels afterwards, and acts on start.action.
TsoundRestartResult restartSoundDLL(TsoundDLLImpDyn& dll, QString& fileName,
                                    const TsoundCallbacks& cb);
