// The main window's picture export (F2, with metadata) and printing of the diagram.
#include "app/ui/TMainForm.h"

#include "app/TDiagramPicture.h"
#include "base/utils.h"
#include "base/vlMessages.h"
#include "display/ui/TDiagrammView.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/ui/TChild3D.h"
#include "measurements/ui/TOszidia.h"

#include <QAction>
#include <QDateTime>
#include <QFileDialog>
#include <QMenu>
#include <QPageSetupDialog>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace {

const char* const kPictureFilter = "Bitmaps (*.bmp);;JPEGs (*.jpg)";

} // namespace

// ---- menus --------------------------------------------------------------------------------------

void TMainForm::buildPictureItems(QMenu* file)
{
    QAction* a = file->addAction("Save diagram to BMP/JPG-File", this, [this] { saveDiagramPicture(); });
    a->setObjectName("acSavePicture");
    a->setShortcut(Qt::Key_F2);
}

void TMainForm::buildPrintItems(QMenu* file)
{
    QAction* p = file->addAction("&Print", this, [this] { printCommand(); });
    p->setObjectName("acPrint");
    p->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_P), QKeySequence(Qt::Key_Print)});
    QAction* s = file->addAction("Printer &Setup", this, [this] { printerSetup(); });
    s->setObjectName("acPrinterSetup");
}

// ---- the picture --------------------------------------------------------------------------------

QImage TMainForm::diagramPicture()
{
    switch (m_fft.DiagramForm) {
    case Sample_2D:
    case Samplesweep: return m_diafrm ? m_diafrm->diagramImage() : QImage();
    case Sample_3D: return m_child3D ? m_child3D->diagramImage() : QImage();
    case SampleOszi: return m_scopeWnd ? m_scopeWnd->picture() : QImage();
    default: return {}; // no diagram to show
    }
}

TPictureMeta TMainForm::pictureMeta() const
{
    TPictureMeta m;
    m.caption = windowTitle();
    m.version = "Velmora " + vlVersionText(vlProgramVersion());
    const QString mode = MeasModeInfo(measuringMode()).menuCaption;
    m.description = QString(kPictureObjectName) + ": " + mode + (m_remark.isEmpty() ? QString() : " - " + m_remark);
    m.results = measurementResults();
    m.keywords << mode << MeasuringModeTopic(measuringMode());
    if (!currentPresetName().isEmpty()) m.keywords << currentPresetName();
    m.when = QDateTime::currentDateTime();
    return m;
}

bool TMainForm::exportPicture(const QString& file, QString* error)
{
    const QImage image = diagramPicture();
    const TPictureMeta meta = pictureMeta();
    return writeDiagramPicture(image, file, &meta, error);
}

bool TMainForm::saveDiagramPicture()
{
    QString name;
    if (m_set.AutoNamed) {
        const QString ext = QFileInfo(m_set.AsDiaFname).suffix();
        name = autoExportName(m_set.AsDiaFname, "FreqDiaAsPic", ext.isEmpty() ? QString() : "." + ext,
                              QDateTime::currentDateTime());
        if (pictureFormatFor(name) == ePictureFormat::pfNone) return false; // neither bmp nor jpg
    } else {
        if (m_choosePictureFile) {
            name = m_choosePictureFile("Save Diagram ", m_set.AsDiaFname);
        } else {
            QFileDialog dlg(this, "Save Diagram ", m_set.AsDiaFname, kPictureFilter);
            dlg.setAcceptMode(QFileDialog::AcceptSave);
            dlg.setDefaultSuffix("bmp");
            if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) name = dlg.selectedFiles().first();
        }
        if (name.isEmpty()) return false;
        m_set.AsDiaFname = name;
    }
    QString why;
    if (exportPicture(name, &why)) return true;
    vl::errorBox(name + " could not created\r\n" + why);
    return false;
}

// ---- printing -----------------------------------------------------------------------------------

QPrinter& TMainForm::printer()
{
    if (!m_printer) m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void TMainForm::printerSetup()
{
    QPageSetupDialog dlg(&printer(), this);
    if (m_runPageSetup) m_runPageSetup(dlg);
    else dlg.exec();
}

bool TMainForm::printCommand()
{
    QPrintDialog dlg(&printer(), this);
    const int r = m_runPrintDialog ? m_runPrintDialog(dlg) : dlg.exec();
    if (r != QDialog::Accepted) return false;
    QString why;
    if (printDiagram(printer(), &why)) return true;
    vl::errorBox("Printing failed: " + why);
    return false;
}

bool TMainForm::printToPdf(const QString& file, QString* error)
{
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(file);
    pdf.setPageOrientation(printer().pageLayout().orientation());
    pdf.setPageSize(printer().pageLayout().pageSize());
    return printDiagram(pdf, error);
}

// One page per copy. With the vertical resolution r (dots per inch) and m = 2r/3 the diagram
// fills, in landscape, the full width between a top and bottom margin of m; in portrait the
// upper half of the page inside a left margin of m; the picture is stretched into that area. The
// time diagram, when shown, goes under the main diagram in the same area; the result lines
// follow below it.
bool TMainForm::printDiagram(QPrinter& p, QString* error)
{
    QImage picture = diagramPicture();
    if (picture.isNull()) {
        if (error) *error = "the current measuring mode shows no diagram";
        return false;
    }
    const QImage time = printableTimeDiagram();
    if (!time.isNull()) picture = stackPictures(picture, time);
    QPainter painter;
    if (!painter.begin(&p)) {
        if (error) *error = "the printer could not be opened";
        return false;
    }
    const int copies = p.supportsMultipleCopies() ? 1 : std::max(1, p.copyCount());
    for (int c = 0; c < copies; ++c) {
        if (c > 0) p.newPage();
        paintPrintPage(painter, p, picture);
    }
    painter.end();
    return true;
}

void TMainForm::paintPrintPage(QPainter& painter, QPrinter& p, const QImage& picture)
{
    const int r = p.logicalDpiY();
    const int m = 2 * r / 3;
    const QRect page(0, 0, p.width(), p.height());
    const bool landscape = page.width() > page.height();
    const QRect area = landscape ? QRect(0, m, page.width(), page.height() - 2 * m)
                                 : QRect(m, r / 2, page.width() - (m + r / 4), page.height() / 2);
    const QStringList lines = measurementResults();
    QFont f = painter.font();
    f.setPointSizeF(9.0);
    painter.setFont(f);
    const int lineH = painter.fontMetrics().height();
    // In landscape the lines take their room from the diagram's area, in portrait from below it.
    QRect picArea = area;
    if (landscape && !lines.isEmpty()) picArea.setBottom(area.bottom() - lineH * int(lines.size()) - r / 8);
    const QRect target = picArea; // stretched into the area, as the page layout wants
    painter.drawImage(target, picture);
    int y = target.bottom() + r / 8 + painter.fontMetrics().ascent();
    for (const QString& line : lines) {
        painter.drawText(target.left(), y, line);
        y += lineH;
    }
}

QImage TMainForm::printableTimeDiagram()
{
    if (m_fft.DiagramForm != Sample_2D && m_fft.DiagramForm != Samplesweep) return {};
    TDiagramm* t = m_diafrm ? m_diafrm->model().timeDia() : nullptr;
    if (!t || !m_diafrm->timeView() || !m_diafrm->timeView()->isVisible()) return {};
    t->paintNew(false);
    return t->getBitmap();
}

QImage TMainForm::stackPictures(const QImage& top, const QImage& bottom)
{
    const int w = std::max(top.width(), bottom.width());
    const int bh = bottom.width() > 0 ? bottom.height() * w / bottom.width() : 0;
    const int th = top.width() > 0 ? top.height() * w / top.width() : 0;
    QImage out(w, th + bh, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter pa(&out);
    pa.drawImage(QRect(0, 0, w, th), top);
    pa.drawImage(QRect(0, th, w, bh), bottom);
    return out;
}

// The preset the settings came from (its file name); empty while none is chosen.
QString TMainForm::currentPresetName() const
{
    return m_presetName.contains(u'*') ? QString() : QFileInfo(m_presetName).fileName();
}
