// The widget that shows a 3D diagram's image and passes its clicks on.
#pragma once

#include "display/T3Ddiagr.h"

#include <QWidget>

// Shows the image of a T3Ddiagr it does not own; resizing paints the diagram anew at the
// widget's size. Clicks fire the diagram's left/right events without changing the view.
class T3DView : public QWidget {
public:
    T3DView(T3Ddiagr& dia, QWidget* parent = nullptr);
    void repaintDia(); // PaintNew3D and show it

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    T3Ddiagr& m_dia; // the diagram shown
};
