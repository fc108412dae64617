// The Thiele-Small report window: the report as rich text, printed or saved as RTF or text.
#pragma once

#include "dsp/evalThieleSmall.h"

#include <QDialog>
#include <functional>

class QTextDocument;
class QTextEdit;

// A document as RTF: its lines with bold, italic, font and size per run; characters beyond
// ASCII as Unicode escapes.
QByteArray TSPReportRtf(const QTextDocument* doc);

// Fills TSPmemo with the report of a record in the interface language; the user may add the
// speaker's name and comments before printing or saving. GUI thread only.
class TTSPmemoform : public QDialog {
    Q_OBJECT
public:
    TTSPmemoform(const tTSP& t, bool german, QWidget* parent = nullptr);

    // Writes the memo as RTF (suffix .rtf, any case) or as UTF-8 text; false with `error` set.
    bool saveTo(const QString& fileName, QString* error = nullptr) const;
    void PrintClick();
    void SaveClick();

    QTextEdit* TSPmemo;
    std::function<void(int)> onHelp; // help topic wanted (72)
};
