// The power-distortion engine's debug window.
#include "measurements/ui/TPowThdDebugWnd.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TPowThdDebugWnd::TPowThdDebugWnd(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setObjectName("PowThdDebugWnd");
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(4, 4, 4, 4);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    col->addWidget(Memo1);
    resize(760, 420);
}

void TPowThdDebugWnd::setLines(const QStringList& lines) { Memo1->setPlainText(lines.join('\n')); }

void TPowThdDebugWnd::addLine(const QString& line) { Memo1->appendPlainText(line); }

QString TPowThdDebugWnd::text() const { return Memo1->toPlainText(); }
