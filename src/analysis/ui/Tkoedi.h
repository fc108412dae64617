// The correction editor: edits the text file of a correction curve and rebuilds the curve.
#pragma once

#include <QMainWindow>
#include <QString>

class QAction;
class QCloseEvent;
class QPlainTextEdit;
class Tcorri;

// Shows the lines of a correction file for editing. "Save &&Test" writes them back (atomically)
// and rebuilds the curve with 1 kHz normalisation and spline interpolation; closing with
// unsaved changes asks whether to save, and Yes saves and rebuilds with linear interpolation.
// Every close and every rebuild emit correctionChanged() so the diagram can redraw the curve.
// A file that is not valid UTF-8 is shown and saved byte for byte as Latin-1.
// GUI thread only. The curve must outlive the window.
class Tkoedi : public QMainWindow {
    Q_OBJECT
public:
    static constexpr qint64 kMaxEditBytes = 16 * 1024 * 1024; // larger files open read-only

    // `fileName`: the curve's file; `sep`: its column separator; `lang`: 'D' German, else English.
    Tkoedi(Tcorri& cor, const QString& fileName, char sep, char lang, QWidget* parent = nullptr);

    // Writes the text to the file and rebuilds the curve (fit to 1 kHz, spline); false (curve
    // unchanged) when the file could not be written, after a message.
    bool saveAndTest();
    bool isModified() const;

    QPlainTextEdit* Memo1; // the file's lines
    QAction* SaveTest;     // "Save &&Test"
    QAction* Help;         // "Help"

signals:
    void correctionChanged();
    void helpRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void loadText();
    bool saveText();
    void rebuild(int mode);

    Tcorri& m_cor;        // the curve being edited, not owned
    QString m_fileName;   // its file
    char m_sep;           // column separator for rebuilding
    char m_lang;          // 'D' or 'E'
    bool m_latin1 = false; // the file was not UTF-8: written back as Latin-1
    bool m_crlf = false;   // the file ends its lines in CR LF: written back so
};
