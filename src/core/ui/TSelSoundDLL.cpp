// The dialog that picks another sound module, and the "Alternative sound DLL" command around it.
#include "core/ui/TSelSoundDLL.h"
#include "base/vlHelp.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TSelSoundDLL::TSelSoundDLL(QWidget* parent)
    : QDialog(parent),
      ListBox1(new QListWidget(this)),
      OKBtn(new QPushButton(QStringLiteral("OK"), this)),
      CancelBtn(new QPushButton(QStringLiteral("Cancel"), this)),
      HelpBtn(new QPushButton(QStringLiteral("&Help"), this))
{
    setWindowTitle(QStringLiteral("Select Sound DLL"));
    setObjectName(QStringLiteral("SelSoundDLL"));
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    OKBtn->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    buttons->addStretch();
    buttons->addWidget(HelpBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListBox1);
    layout->addLayout(buttons);

    connect(ListBox1, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            dInd = row;
    });
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(HelpBtn, &QPushButton::clicked, this, [this] {
        vl::showHelp(kHelpContext);
        emit helpRequested(kHelpContext);
    });
}

void TSelSoundDLL::fillList()
{
    ListBox1->clear();
    ListBox1->addItems(dStringl);
    const QString pre = dPreSoundName.toUpper();
    for (int i = 0; i < dStringl.size(); ++i) {
        if (dStringl[i].toUpper().contains(pre)) {
            ListBox1->setCurrentRow(i);
            dInd = i;
            break;
        }
    }
}

void TSelSoundDLL::showEvent(QShowEvent* event)
{
    fillList();
    QDialog::showEvent(event);
}

int selectSoundDLL(TsoundDLLImpDyn& dll, QString& fileName, QWidget* parent,
                   const TSelSoundDLLRunner& run)
{
    dll.unloadDLL(nullptr, fileName);
    dll.scanFolder(dll.folder(), QStringLiteral("libSound*.so"));
    TSelSoundDLL dlg(parent);
    dlg.dStringl = dll.dllList();
    dlg.dPreSoundName = fileName;
    const int result = run ? run(dlg) : dlg.exec();
    if (result != QDialog::Accepted || dlg.dInd < 0 || dlg.dInd >= dlg.dStringl.size())
        return -1;
    fileName = TsoundDLLImpDyn::entryFileName(dlg.dStringl[dlg.dInd]);
    return dlg.dInd;
}

TsoundRestartResult restartSoundDLL(TsoundDLLImpDyn& dll, QString& fileName,
                                    const TsoundCallbacks& cb)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    TsoundRestartResult res;
    res.start = dll.startup(true, TsoundDLLImpDyn::kStartFlags, fileName);
    if (res.start.action != eSoundStart::ssTerminate)
        res.records = dll.readAddresses(res.start.count, cb);
    QGuiApplication::restoreOverrideCursor();
    return res;
}
