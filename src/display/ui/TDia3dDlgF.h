// The 3D diagram's settings dialog: axes, bands, filter, y-axis mode, visualizing and colours.
#pragma once

#include "display/T3dRecords.h"

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;
class QToolButton;

// Filled from a record, returns it. OK closes with 1; Apply hands the record to onApply and
// closes with 4 (the owner opens it again); Cancel closes with 0.
class TDia3dDlgF : public QDialog {
public:
    static constexpr int kApply = 4;
    // openGLOffered: the "OpenGL" box is shown.
    TDia3dDlgF(const T3dSettingsRec& r, bool openGLOffered, QWidget* parent = nullptr);
    T3dSettingsRec record() const;

    std::function<void(const T3dSettingsRec&)> onApply; // message 1034

    QDoubleSpinBox *xMax, *xMin, *yMax, *yMin;
    QSpinBox* ribbons;
    QCheckBox *xLog, *yMaxAuto, *zReverse, *openGL;
    QComboBox *filter, *yAxis, *visualizing;

private:
    void pickColour(int i);
    void showColour(int i);

    T3dSettingsRec m_rec;                     // colours and what the fields do not show
    bool m_glOffered = false;                 // the "OpenGL" box is shown
    std::array<QToolButton*, 6> m_colours{};  // Win. Backg, Lines, Grid, Plains, Text, Dia. Backg
};
