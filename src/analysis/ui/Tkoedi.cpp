// The correction editor: edits the text file of a correction curve and rebuilds the curve.
#include "analysis/ui/Tkoedi.h"

#include "analysis/corObjMessages.h"
#include "dsp/corObj.h"
#include "base/vlMessages.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QStringDecoder>

Tkoedi::Tkoedi(Tcorri& cor, const QString& fileName, char sep, char lang, QWidget* parent)
    : QMainWindow(parent), m_cor(cor), m_fileName(fileName), m_sep(sep), m_lang(lang)
{
    setWindowTitle(lang == 'D' ? QStringLiteral("Editor Korrekturdatei")
                               : QStringLiteral("Editor correction file"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    setCentralWidget(Memo1);
    SaveTest = menuBar()->addAction(QStringLiteral("Save &&Test"));
    Help = menuBar()->addAction(QStringLiteral("Help"));
    connect(SaveTest, &QAction::triggered, this, [this] { saveAndTest(); });
    connect(Help, &QAction::triggered, this, &Tkoedi::helpRequested);
    resize(360, 480);
    loadText();
}

void Tkoedi::loadText()
{
    QFile f(m_fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        vl::warningBox(QStringLiteral("Error while reading ") + m_fileName + "\r\n" + f.errorString());
        return;
    }
    const bool tooLarge = f.size() > kMaxEditBytes;
    const QByteArray bytes = f.read(kMaxEditBytes);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    m_latin1 = utf8.hasError();
    if (m_latin1)
        text = QString::fromLatin1(bytes);
    m_crlf = bytes.contains("\r\n");
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    Memo1->setPlainText(text);
    Memo1->document()->setModified(false);
    if (tooLarge) { // an incomplete text must never be written back over the file
        Memo1->setReadOnly(true);
        SaveTest->setEnabled(false);
    }
}

bool Tkoedi::isModified() const
{
    return Memo1->document()->isModified();
}

bool Tkoedi::saveText()
{
    QString text = Memo1->toPlainText();
    if (m_crlf)
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    const QByteArray bytes = m_latin1 ? text.toLatin1() : text.toUtf8();
    QSaveFile f(m_fileName);
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit()) {
        Memo1->document()->setModified(false);
        return true;
    }
    vl::warningBox(QStringLiteral("Error while writing ") + m_fileName + "\r\n" + f.errorString());
    return false;
}

void Tkoedi::rebuild(int mode)
{
    m_cor.makeCorrArr(QFile::encodeName(m_fileName).toStdString(), m_sep, true, correctionMessageSink());
    m_cor.setMode(mode);
    emit correctionChanged();
}

bool Tkoedi::saveAndTest()
{
    if (!saveText())
        return false;
    rebuild(0);
    return true;
}

void Tkoedi::closeEvent(QCloseEvent* event)
{
    if (isModified() && !Memo1->isReadOnly()) {
        const QString ask = m_lang == 'D' ? QStringLiteral("Korrekturwerte wurden verändert ! Speichern ?")
                                          : QStringLiteral("Values changed ! Saving ?");
        const int answer = vl::showMessage(vl::MsgKind::Confirmation, QStringLiteral("Confirmation"),
                                           ask, vl::mbYes | vl::mbNo, vl::mbYes);
        if (answer == vl::mbYes) {
            if (!saveText()) { // keep the window, and the edits, when they could not be saved
                event->ignore();
                return;
            }
            m_cor.makeCorrArr(QFile::encodeName(m_fileName).toStdString(), m_sep, true, correctionMessageSink());
            m_cor.setMode(2);
        }
    }
    event->accept();
    emit correctionChanged();
}
