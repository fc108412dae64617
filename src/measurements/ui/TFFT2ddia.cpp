// The FFT settings dialog: builds its controls from the option word and copies the fields.
#include "measurements/ui/TFFT2ddia.h"
#include "base/vlHelp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

TFFT2ddia::TFFT2ddia(const TFFT2ddiaData& data, int32_t options, QWidget* parent)
    : QDialog(parent), m_data(data), m_options(options)
{
    setWindowTitle("FFT-Dialog");
    setObjectName("FFT2ddia");
    m_data.samplesFFT = ClampFFTSize(m_data.samplesFFT);
    FixSecondCurve(m_data, true);
    build();
    applyOptions();
}

void TFFT2ddia::build()
{
    auto* form = new QFormLayout;
    CBWindow = new QComboBox(this);
    CBWindow->addItems(FFTWindowItems());
    CBWindow->setCurrentIndex(std::clamp(m_data.dFFTwin, 0, 8));
    form->addRow("FFT Window", CBWindow);
    CBPoints = new QComboBox(this);
    CBPoints->addItems(FFTSizeItems());
    CBPoints->setCurrentIndex(int(std::log2(double(m_data.samplesFFT)) - 6));
    form->addRow("FFT Points", CBPoints);
    LaResolution = new QLabel(this);
    form->addRow("Resolution:", LaResolution);
    auto* row3D = new QHBoxLayout;
    La3D = new QLabel(this);
    La3D->setFrameShape(QFrame::Panel);
    La3D->setFrameShadow(QFrame::Sunken);
    Up3D = new QToolButton(this);
    Up3D->setArrowType(Qt::UpArrow);
    Down3D = new QToolButton(this);
    Down3D->setArrowType(Qt::DownArrow);
    row3D->addWidget(La3D, 1);
    row3D->addWidget(Up3D);
    row3D->addWidget(Down3D);
    form->addRow("3D Stepping / ms", row3D);
    SEBefore = new QSpinBox(this);
    SEBefore->setRange(0, 1 << 20);
    SEBefore->setValue(m_data.dsbefore);
    form->addRow("x samples before", SEBefore);

    auto check = [this](const QString& text, bool on) {
        auto* c = new QCheckBox(text, this);
        c->setChecked(on);
        return c;
    };
    CBNextCurve = check("New curve / meas.", m_data.dnextcurve);
    CBConti = check("Continuous", m_data.dnahConti);
    CBRef = check("Reference", m_data.drefmess);
    CBIps2Ch = check("2 Ips Channels", m_data.dips2Ch);
    CBPhase = check("2. curve is phase", m_data.d2isPhase);
    CBGD = check("2. curve is group delay", m_data.d2isGD);
    CBExternal = check("external impulse", m_data.dasyncIps);
    CBExternal->setToolTip("impulse from an external source");
    CBMLSAuto = check("Ips auto recognition (MLS)", m_data.dMLSAuto);
    CBVU = check("VU Meter", false);
    CBVU->setToolTip("VU Meter instead of Time Diagram");

    auto* boxes = new QVBoxLayout;
    for (QCheckBox* c : {CBNextCurve, CBConti, CBRef, CBIps2Ch, CBPhase, CBGD, CBExternal, CBMLSAuto, CBVU})
        boxes->addWidget(c);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] { vl::showHelp(helpTopic()); });
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addLayout(boxes);
    top->addWidget(buttons);

    connect(CBPoints, &QComboBox::currentIndexChanged, this, [this](int i) {
        m_data.samplesFFT = kFFTSizeMin << i;
        showResolution();
    });
    connect(Up3D, &QToolButton::clicked, this, [this] {
        m_data.dfft3Dstepping_ms = Step3D(m_data.dfft3Dstepping_ms, m_data.dsamplef, 1);
        show3D();
    });
    connect(Down3D, &QToolButton::clicked, this, [this] {
        m_data.dfft3Dstepping_ms = Step3D(m_data.dfft3Dstepping_ms, m_data.dsamplef, -1);
        show3D();
    });
    connect(CBPhase, &QCheckBox::clicked, this, [this] { secondCurveClicked(true); });
    connect(CBGD, &QCheckBox::clicked, this, [this] { secondCurveClicked(false); });
    connect(CBExternal, &QCheckBox::toggled, CBMLSAuto, &QWidget::setEnabled);
    showResolution();
    show3D();
}

void TFFT2ddia::applyOptions()
{
    const int32_t o = m_options;
    for (QWidget* w : {static_cast<QWidget*>(La3D), static_cast<QWidget*>(Up3D), static_cast<QWidget*>(Down3D)})
        w->setVisible(o & fdo3DStepping);
    CBNextCurve->setVisible(o & fdoNextCurve);
    CBConti->setVisible(o & fdoContinuous);
    CBRef->setVisible(o & fdoReference);
    SEBefore->setVisible(o & fdoSamplesBefore);
    CBIps2Ch->setVisible(o & fdoIps2Ch);
    CBIps2Ch->setEnabled(false);
    CBPhase->setVisible(o & fdoPhaseGD);
    CBGD->setVisible(o & fdoPhaseGD);
    CBWindow->setEnabled(o & fdoWindow);
    CBExternal->setVisible(o & fdoExternal);
    CBMLSAuto->setVisible(o & fdoMLSAuto);
    CBMLSAuto->setEnabled(CBExternal->isChecked());
    CBVU->setVisible(false);
    CBVU->setChecked(false);
}

void TFFT2ddia::show3D() { La3D->setText(QString::asprintf("%1.3f", m_data.dfft3Dstepping_ms)); }

void TFFT2ddia::showResolution() { LaResolution->setText(FFTResolutionText(m_data.dsamplef, m_data.samplesFFT)); }

void TFFT2ddia::secondCurveClicked(bool phase)
{
    m_data.d2isPhase = CBPhase->isChecked();
    m_data.d2isGD = CBGD->isChecked();
    FixSecondCurve(m_data, phase);
    CBPhase->setChecked(m_data.d2isPhase);
    CBGD->setChecked(m_data.d2isGD);
    CBIps2Ch->setChecked(m_data.dips2Ch);
}

void TFFT2ddia::accept()
{
    m_data.dFFTwin = CBWindow->currentIndex();
    m_data.dsbefore = SEBefore->value();
    m_data.dnextcurve = CBNextCurve->isChecked();
    m_data.dnahConti = CBConti->isChecked();
    m_data.drefmess = CBRef->isChecked();
    m_data.dasyncIps = CBExternal->isChecked();
    m_data.dMLSAuto = CBMLSAuto->isChecked();
    if (m_data.dMeasMode == 1 || m_data.dMeasMode == 12) // only the FFT modes know the VU meter
        m_data.dMeasMode = CBVU->isChecked() ? 12 : 1;
    QDialog::accept();
}
