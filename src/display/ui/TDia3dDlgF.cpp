// The 3D settings dialog: every field of the settings record, colour pickers, OK/Apply/Cancel.
#include "display/ui/TDia3dDlgF.h"
#include "base/vlHelp.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGridLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

namespace {

constexpr int kHelp3DTopic = 5; // the 3D FFT page: what the view settings change

QDoubleSpinBox* spin(QWidget* parent, double lo, double hi, double v)
{
    auto* s = new QDoubleSpinBox(parent);
    s->setRange(lo, hi);
    s->setDecimals(1);
    s->setValue(v);
    return s;
}

QComboBox* combo(QWidget* parent, const QStringList& items, int v)
{
    auto* c = new QComboBox(parent);
    c->addItems(items);
    c->setCurrentIndex(std::clamp(v, 0, int(items.size()) - 1));
    return c;
}

TColorBGR* colourOf(T3dSettingsRec& r, int i)
{
    TColorBGR* c[6] = {&r.BackCol, &r.LineCol, &r.gridCol, &r.FFlaeCol, &r.TextCol, &r.DiaBGCol};
    return c[i];
}

} // namespace

TDia3dDlgF::TDia3dDlgF(const T3dSettingsRec& r, bool openGLOffered, QWidget* parent) : QDialog(parent), m_rec(r), m_glOffered(openGLOffered)
{
    setWindowTitle("3D Diagram");
    auto* grid = new QGridLayout(this);
    auto* axes = new QGroupBox("Axes", this);
    auto* form = new QFormLayout(axes);
    xMax = spin(this, 0, 100000, r.xmax);
    xMin = spin(this, 0, 20000, r.xmin);
    yMax = spin(this, -1000, 1000, r.ymax);
    yMin = spin(this, -1000, 1000, r.ymin);
    ribbons = new QSpinBox(this);
    ribbons->setRange(2, 64);
    ribbons->setValue(r.Zbands);
    form->addRow("x-Axis [Hz] max", xMax);
    form->addRow("x-Axis [Hz] min", xMin);
    form->addRow("y-Axis [dB] max", yMax);
    form->addRow("y-Axis [dB] min", yMin);
    form->addRow("z-Axis  time: ribbons", ribbons);
    // Each limit stays on its side of the other.
    connect(xMax, &QDoubleSpinBox::valueChanged, this, [this](double v) { if (v <= xMin->value()) xMin->setValue(std::max(0.0, v - 1)); });
    connect(xMin, &QDoubleSpinBox::valueChanged, this, [this](double v) { if (v >= xMax->value()) xMax->setValue(v + 1); });
    connect(yMax, &QDoubleSpinBox::valueChanged, this, [this](double v) { if (v <= yMin->value()) yMin->setValue(v - 1); });
    connect(yMin, &QDoubleSpinBox::valueChanged, this, [this](double v) { if (v >= yMax->value()) yMax->setValue(v + 1); });
    xLog = new QCheckBox("x-axis scale log.", this);
    xLog->setChecked(r.xlog);
    yMaxAuto = new QCheckBox("y max auto", this);
    yMaxAuto->setChecked(r.YmaxAuto);
    zReverse = new QCheckBox("z-axis reverse", this);
    zReverse->setChecked(r.zreverse);
    openGL = new QCheckBox("OpenGL", this);
    openGL->setChecked(r.makeOpenGL && openGLOffered);
    openGL->setVisible(openGLOffered);
    for (QCheckBox* c : {xLog, yMaxAuto, zReverse, openGL})
        form->addRow(c);
    grid->addWidget(axes, 0, 0, 2, 1);

    auto* look = new QGroupBox("Display", this);
    auto* lf = new QFormLayout(look);
    filter = combo(this, {"none", "smooth 1/4 octave", "smooth 1/2 octave", "strong smooth", "1/3 octave | terce"}, r.FDfilter);
    yAxis = combo(this, {"normal", "0dB @ 1kHz", "0dB @ max"}, r.YaxisMode);
    visualizing = combo(this, {"wire", "plain", "surface"}, r.LF);
    lf->addRow("Filter", filter);
    lf->addRow("y-axis", yAxis);
    lf->addRow("visualizing", visualizing);
    grid->addWidget(look, 0, 1);

    auto* colours = new QGroupBox("Colors", this);
    auto* cf = new QFormLayout(colours);
    const char* names[6] = {"Win. Backg", "Lines", "Grid", "Plains", "Text", "Dia. Backg"};
    for (int i = 0; i < 6; ++i) {
        m_colours[size_t(i)] = new QToolButton(this);
        m_colours[size_t(i)]->setFixedSize(40, 18);
        cf->addRow(names[i], m_colours[size_t(i)]);
        showColour(i);
        connect(m_colours[size_t(i)], &QToolButton::clicked, this, [this, i] { pickColour(i); });
    }
    grid->addWidget(colours, 1, 1);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QDialogButtonBox::Ok);
    QPushButton* apply = buttons->addButton("Apply", QDialogButtonBox::ApplyRole);
    buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    buttons->addButton("Help", QDialogButtonBox::HelpRole);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [] { vl::showHelp(kHelp3DTopic); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { done(1); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { done(0); });
    connect(apply, &QPushButton::clicked, this, [this] {
        if (onApply)
            onApply(record());
        done(kApply);
    });
    grid->addWidget(buttons, 2, 0, 1, 2);
}

T3dSettingsRec TDia3dDlgF::record() const
{
    T3dSettingsRec r = m_rec;
    r.xmax = xMax->value();
    r.xmin = xMin->value();
    r.ymax = yMax->value();
    r.ymin = yMin->value();
    r.Zbands = ribbons->value();
    r.xlog = xLog->isChecked();
    r.YmaxAuto = yMaxAuto->isChecked();
    r.zreverse = zReverse->isChecked();
    r.makeOpenGL = m_glOffered && openGL->isChecked();
    r.FDfilter = filter->currentIndex();
    r.YaxisMode = yAxis->currentIndex();
    r.LF = visualizing->currentIndex();
    return r;
}

void TDia3dDlgF::showColour(int i)
{
    const QColor c = bgrToQColor(*colourOf(m_rec, i));
    m_colours[size_t(i)]->setStyleSheet(QString("background: %1; border: 1px solid gray;").arg(c.name()));
}

void TDia3dDlgF::pickColour(int i)
{
    const QColor c = QColorDialog::getColor(bgrToQColor(*colourOf(m_rec, i)), this);
    if (!c.isValid())
        return;
    *colourOf(m_rec, i) = qColorToBgr(c);
    showColour(i);
}
