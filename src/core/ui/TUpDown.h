// A small pair of arrow buttons beside an edit field that steps its value up or down.
#pragma once

#include <QWidget>

class QToolButton;

// Two stacked arrow buttons; a click (or auto-repeat while held) emits stepped(+1) or
// stepped(-1). The owner applies the step and refreshes its field. GUI thread only.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

signals:
    void stepped(int delta);

private:
    QToolButton* m_up;   // +1
    QToolButton* m_down; // -1
};
