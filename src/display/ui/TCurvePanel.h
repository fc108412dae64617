// One curve panel of the diagram window: shows a slot's colour, name and group; click, select, drag.
#pragma once

#include "display/Tcurve.h"

#include <QFont>
#include <QFrame>
#include <QString>
#include <QPoint>

class QLabel;
class QTimer;

// The panel of curve slot 0..7 (or the hidden "Ideal" panel). It only paints what it is given
// and reports what the user did; the window decides. A single click is reported after the
// double-click interval so that a double-click does not open the curve dialog first.
// Drag and drop between panels carries the source slot. GUI thread only.
class TCurvePanel : public QFrame {
    Q_OBJECT
public:
    static constexpr int kIdealSlot = 100; // slot number of the "Ideal" panel
    static const char* const kMimeType;    // drag data: the source slot as text

    TCurvePanel(int slot, QWidget* parent = nullptr);
    int slot() const { return m_slot; }
    // Paints the slot: curve colour when visible (else the button face, grey name), the name,
    // raised bevel 1 when selected (else lowered 3), the group letter when visible.
    void showCurve(const Tcurve& c, const QFont& windowFont);
    QLabel* nameLabel() const { return m_name; }
    QLabel* groupLabel() const { return m_group; }

signals:
    void clicked(int slot);                   // properties wanted
    void toggleSelection(int slot);           // double-click or Ctrl + right button
    void dropped(int source, int target, bool ctrl); // a panel was dropped on this one

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void startDrag();

    int m_slot;                 // slot shown, 0..7 or kIdealSlot
    QLabel* m_group = nullptr;  // group letter
    QLabel* m_name = nullptr;   // curve name
    QTimer* m_click = nullptr;  // waits for a possible double-click
    QPoint m_pressPos;          // where the left button went down (-1: not down)
    bool m_pressed = false;     // left button down on this panel
    struct TShown {             // what showCurve shows
        TColorBGR colour = 0;
        int flags = -1; // visible * 2 + selected; -1: nothing shown yet
        int group = 0;
        QFont font;
        QRgb face = 0; // the palette's button colour
        QString name;
        bool operator==(const TShown&) const = default;
    } m_shown;
};
