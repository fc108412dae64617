// The widget that shows a TDiagramm: blits its image, hosts its remark edit and scroll buttons.
#pragma once

#include "display/TDiagramm.h"

#include <QWidget>
#include <array>

class QLineEdit;
class QToolButton;

// Owns its TDiagramm. Resizing lays the diagram out at the widget's size (width at least 50);
// paint only copies the diagram's image. Mouse presses, moves and releases go to the model;
// the remark edit, the x scroll buttons and the y buttons of every group are real widgets at
// the places the model's layout gives. GUI thread only.
class TDiagrammView : public QWidget {
    Q_OBJECT
public:
    explicit TDiagrammView(QWidget* parent = nullptr);
    ~TDiagrammView() override;

    TDiagramm& dia() { return m_dia; }
    const TDiagramm& dia() const { return m_dia; }
    // Lays out everything at the current size and repaints (after property changes).
    void relayout();
    // Lays the diagram out again only when the view's size is not the one it was laid out at
    // (or that layout gave no plot): for callers whose changes the diagram laid out itself.
    void fitToView();

signals:
    // Mouse presses after the model has recorded the cursor position (global position given).
    void leftClicked(QPoint globalPos);
    void rightClicked(QPoint globalPos);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override; // the pointer left: as a move far outside the plot
    // Wheel zooms x around the pointer; with Shift the y axes.
    void wheelEvent(QWheelEvent*) override;

public:
    // The small editor over an axis end label (shown by a click on the label); Enter sets it.
    QLineEdit* limitEditor() const { return m_limitEdit; }

private:
    void placeWidgets();
    void openLimitEditor(TAxisHit hit);
    void commitLimit();

    TDiagramm m_dia;                                 // the model
    QLineEdit* m_rem1 = nullptr;                     // remark edit
    QLineEdit* m_limitEdit = nullptr;                // axis limit editor
    TAxisHit m_limitHit;                             // the limit it edits
    std::array<QToolButton*, 4> m_xScroll{};         // low down/up, high down/up
    std::array<QToolButton*, 4 * kDiaCurves> m_yButtons{}; // per group: upper up/down, lower up/down
};
