// Shared pieces of the diagram dialogs.
#include "display/ui/diaDialogParts.h"

#include "base/utils.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>

namespace diaui {

QFrame* makeSwatch(QWidget* parent) {
    auto* f = new QFrame(parent);
    f->setFrameShape(QFrame::Box);
    f->setFixedSize(40, 20);
    f->setAutoFillBackground(true);
    return f;
}

void showSwatch(QFrame* swatch, TColorBGR c) {
    QPalette p = swatch->palette();
    p.setColor(QPalette::Window, bgrToQColor(c));
    swatch->setPalette(p);
}

TColorChooser colorDialog(QWidget* parent, const QString& title) {
    return [parent, title](TColorBGR& c) {
        const QColor q = QColorDialog::getColor(bgrToQColor(c), parent, title);
        if (!q.isValid()) return false;
        c = qColorToBgr(q);
        return true;
    };
}

TFontChooser fontDialog(QWidget* parent) {
    return [parent](QFont& f) {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, f, parent);
        if (ok) f = chosen;
        return ok;
    };
}

TFileChooser openDialog(QWidget* parent, const QString& caption, const QString& filter) {
    return [=](const QString& start) {
        return QFileDialog::getOpenFileName(parent, caption, start, filter);
    };
}

TFileChooser saveDialog(QWidget* parent, const QString& caption, const QString& filter) {
    return [=](const QString& start) {
        return QFileDialog::getSaveFileName(parent, caption, start, filter);
    };
}

void takeNumber(const QString& text, double& last) {
    if (const auto v = vlParseNumber(text)) last = *v;
}

TButtonRow makeButtonRow(QWidget* parent)
{
    auto* w = new QWidget(parent);
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    TButtonRow r{w, new QPushButton("OK", w), new QPushButton("Cancel", w), new QPushButton("Apply", w),
                 new QPushButton("Help", w)};
    r.ok->setDefault(true);
    h->addStretch();
    for (QPushButton* b : {r.ok, r.cancel, r.apply, r.help})
        h->addWidget(b);
    return r;
}

} // namespace diaui
