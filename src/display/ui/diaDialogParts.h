// Small pieces the diagram dialogs share: colour swatches, default choosers, number edits.
#pragma once

#include "display/diaTypes.h"

#include <QFont>
#include <QString>
#include <functional>

class QFrame;
class QPushButton;
class QWidget;

// Asks for a colour, preset to c; true with c changed when the user chose one.
using TColorChooser = std::function<bool(TColorBGR& c)>;
// Asks for a font, preset to f; true with f changed when the user chose one.
using TFontChooser = std::function<bool(QFont& f)>;
// Asks for a file name (start: a path or name); empty when cancelled.
using TFileChooser = std::function<QString(const QString& start)>;

namespace diaui {

// A framed rectangle that shows a colour.
QFrame* makeSwatch(QWidget* parent);
void showSwatch(QFrame* swatch, TColorBGR c);
// The colour dialog titled `title`, parented to `parent`.
TColorChooser colorDialog(QWidget* parent, const QString& title);
// The font dialog parented to `parent`.
TFontChooser fontDialog(QWidget* parent);
// Open / save file dialogs with a caption and a Qt filter string.
TFileChooser openDialog(QWidget* parent, const QString& caption, const QString& filter);
TFileChooser saveDialog(QWidget* parent, const QString& caption, const QString& filter);
// The row "OK", "Cancel", "Apply", "Help", right-aligned, OK the default button.
struct TButtonRow {
    QWidget* row;
    QPushButton* ok;
    QPushButton* cancel;
    QPushButton* apply;
    QPushButton* help;
};
TButtonRow makeButtonRow(QWidget* parent);
// An edit's text as a number (',' read as '.'); `last` unchanged when it is none.
void takeNumber(const QString& text, double& last);

} // namespace diaui
