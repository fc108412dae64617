// The power-distortion engine's debug window: its time-stamped log, shown when "Debug Window" is set.
#pragma once

#include <QWidget>

class QPlainTextEdit;

// A tool window holding the engine's log lines (GUI thread only).
class TPowThdDebugWnd : public QWidget {
    Q_OBJECT
public:
    explicit TPowThdDebugWnd(QWidget* parent = nullptr);
    void setLines(const QStringList& lines); // replaces the text
    void addLine(const QString& line);
    QString text() const;

private:
    QPlainTextEdit* Memo1; // the log
};
