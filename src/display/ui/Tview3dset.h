// The small view tool of the 3D window: reference and eye point on six scroll bars, stored views.
#pragma once

#include "display/T3dRecords.h"

#include <QWidget>
#include <array>
#include <functional>

class QScrollBar;

// Six scroll bars -500..500: reference point x, y, z (value = position/100) and eye point x, y, z
// (value = position/10). Every scroll hands the view to onView; "Default View", "View 1" and
// "View 2" restore a view, the store buttons keep the current one after a confirmation.
class Tview3dset : public QWidget {
public:
    explicit Tview3dset(QWidget* parent = nullptr);
    // Current and stored views, without firing onView.
    void setViews(const T3dViewRec& r);
    const T3dViewRec& views() const { return m_rec; }
    QScrollBar* bar(int i) const { return m_bars[size_t(i)]; }
    void restore(int which);  // 0 default, 1 and 2 the stored views
    void store(int which);    // 1 or 2, after "Confirm"
    // Places the tool at the lower right of a window (global rectangle).
    void placeBeside(const QRect& owner);

    std::function<void(const T3dViewRec&)> onView; // the view changed (message 1033)

private:
    void fromBars();
    void toBars();

    std::array<QScrollBar*, 6> m_bars{}; // ref x, y, z; eye x, y, z
    T3dViewRec m_rec;                    // the views
    bool m_filling = false;              // bars being set from the record
};
