// The Thiele-Small report window.
#include "measurements/ui/TTSPmemoform.h"
#include "base/vlHelp.h"

#include "measurements/TSPreport.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

QString html(const std::vector<TSPReportLine>& lines)
{
    QString h = "<pre style=\"font-family: monospace; font-size: 9pt\">";
    for (const TSPReportLine& l : lines) {
        QString t = l.text.toHtmlEscaped();
        if (!l.font.isEmpty())
            t = "<span style=\"font-family: '" + l.font + "'\">" + t + "</span>";
        if (l.size > 0)
            t = QString("<span style=\"font-size: %1pt\">").arg(l.size) + t + "</span>";
        if (l.italic)
            t = "<i>" + t + "</i>";
        if (l.bold)
            t = "<b>" + t + "</b>";
        h += t + "\n";
    }
    return h + "</pre>";
}

QByteArray rtfText(const QString& s)
{
    QByteArray out;
    for (const QChar c : s) {
        const ushort u = c.unicode();
        if (u == '\\' || u == '{' || u == '}')
            out += '\\', out += char(u);
        else if (u >= 0x20 && u < 0x80)
            out += char(u);
        else if (u == '\t')
            out += "\\tab ";
        else if (u >= 0x80)
            out += "\\u" + QByteArray::number(qint16(u)) + "?";
    }
    return out;
}

} // namespace

QByteArray TSPReportRtf(const QTextDocument* doc)
{
    QByteArray r = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fmodern Courier New;}{\\f1\\fscript Comic Sans MS;}}\n";
    for (QTextBlock b = doc ? doc->begin() : QTextBlock(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat cf = f.charFormat();
            const bool comic = cf.fontFamilies().toStringList().join(' ').contains("comic", Qt::CaseInsensitive);
            const int half = cf.fontPointSize() > 0 ? int(cf.fontPointSize() * 2) : 18;
            r += "{\\f" + QByteArray::number(comic ? 1 : 0) + "\\fs" + QByteArray::number(half);
            r += cf.fontWeight() >= QFont::Bold ? "\\b" : "";
            r += cf.fontItalic() ? "\\i" : "";
            r += " " + rtfText(f.text()) + "}";
        }
        r += "\\par\n";
    }
    return r + "}\n";
}

TTSPmemoform::TTSPmemoform(const tTSP& t, bool german, QWidget* parent) : QDialog(parent)
{
    setObjectName("TSPmemoform");
    setWindowTitle("Thiele-Small Parameter");
    auto* v = new QVBoxLayout(this);
    TSPmemo = new QTextEdit(this);
    TSPmemo->setObjectName("TSPmemo");
    TSPmemo->setLineWrapMode(QTextEdit::NoWrap);
    TSPmemo->setHtml(html(TSPReport(t, german, QDate::currentDate().toString("dd.MM.yyyy"))));
    v->addWidget(TSPmemo);
    auto* buttons = new QDialogButtonBox(this);
    auto* print = buttons->addButton("&Print", QDialogButtonBox::ActionRole);
    auto* save = buttons->addButton("&Save", QDialogButtonBox::ActionRole);
    auto* help = buttons->addButton("&Help", QDialogButtonBox::HelpRole);
    v->addWidget(buttons);
    connect(print, &QPushButton::clicked, this, &TTSPmemoform::PrintClick);
    connect(save, &QPushButton::clicked, this, &TTSPmemoform::SaveClick);
    connect(help, &QPushButton::clicked, this, [this] {
        if (onHelp) onHelp(72);
        else vl::showHelp(72);
    });
    resize(760, 560);
}

void TTSPmemoform::PrintClick()
{
    QPrinter printer;
    printer.setDocName("Thiele-Small Parameter/Velmora");
    QPrintDialog dlg(&printer, this);
    if (dlg.exec() == QDialog::Accepted)
        TSPmemo->print(&printer);
}

void TTSPmemoform::SaveClick()
{
    QFileDialog dlg(this, "Save ");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilters({"RTF text files (*.rtf)", "Text Files (*.txt)"});
    dlg.setDefaultSuffix("RTF");
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    QString error;
    if (!saveTo(dlg.selectedFiles().first(), &error))
        TSPmemo->append(error);
}

bool TTSPmemoform::saveTo(const QString& fileName, QString* error) const
{
    const bool rtf = QFileInfo(fileName).suffix().compare("rtf", Qt::CaseInsensitive) == 0;
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    f.write(rtf ? TSPReportRtf(TSPmemo->document()) : TSPmemo->toPlainText().toUtf8());
    if (!f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}
