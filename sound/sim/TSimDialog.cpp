// The virtual bench's own settings dialog.
#include "TSimDialog.h"

#include "TSimModel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>
#include <climits>

static std::string lowerCase(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

static QSpinBox* spin(int min, int max, int value)
{
    auto* s = new QSpinBox;
    s->setRange(min, max);
    s->setValue(value);
    return s;
}

TSimDialog::TSimDialog(const TSimSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings)
{
    setWindowTitle(tr("Virtual bench"));
    auto* top = new QVBoxLayout(this);
    auto* device = new QGroupBox(tr("Device"));
    auto* deviceForm = new QFormLayout(device);
    buildDevice(deviceForm);
    top->addWidget(device);

    auto* model = new QGroupBox(tr("Device under test"));
    modelForm_ = new QFormLayout(model);
    kind_ = new QComboBox;
    for (const auto& k : simModelKinds())
        kind_->addItem(QString::fromLatin1(k.name));
    kind_->setCurrentIndex(std::max(0, kind_->findText(QString::fromStdString(settings_.model.kind))));
    modelForm_->addRow(tr("Model"), kind_);
    top->addWidget(model);
    buildModelFields();
    connect(kind_, &QComboBox::currentIndexChanged, this, [this] { buildModelFields(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);
}

void TSimDialog::buildDevice(QFormLayout* form)
{
    rate_ = new QComboBox;
    for (int r : {44100, 48000, 96000, 192000})
        rate_->addItem(QString::number(r), r);
    rate_->setCurrentIndex(rate_->findData(settings_.sampleRate));
    bits_ = new QComboBox;
    bits_->addItem(tr("16 bit"), 16);
    bits_->addItem(tr("24 bit"), 24);
    bits_->addItem(tr("32 bit float"), 32);
    bits_->setCurrentIndex(bits_->findData(settings_.bits));
    pacing_ = new QComboBox;
    pacing_->addItem(tr("real time"));
    pacing_->addItem(tr("fast (tests)"));
    pacing_->setCurrentIndex(settings_.pacing == TSimPacing::fast ? 1 : 0);
    inChannels_ = spin(1, kSimMaxChannels, settings_.inChannels);
    outChannels_ = spin(1, kSimMaxChannels, settings_.outChannels);
    block_ = spin(kSimMinBlock, kSimMaxBlock, settings_.blockFrames);
    seed_ = spin(0, INT_MAX, int(std::min<uint32_t>(settings_.seed, INT_MAX)));
    form->addRow(tr("Sample rate (Hz)"), rate_);
    form->addRow(tr("Resolution"), bits_);
    form->addRow(tr("Input channels"), inChannels_);
    form->addRow(tr("Output channels"), outChannels_);
    form->addRow(tr("Pacing"), pacing_);
    form->addRow(tr("Block (samples)"), block_);
    form->addRow(tr("Noise seed"), seed_);
}

// Rebuilds the parameter rows for the chosen kind, filled from the settings.
void TSimDialog::buildModelFields()
{
    while (modelForm_->rowCount() > 1)
        modelForm_->removeRow(1);
    params_.clear();
    const TSimModelKind& kind = simModelKinds()[size_t(std::max(0, kind_->currentIndex()))];
    for (const TSimParamInfo& p : kind.params) {
        auto* box = new QDoubleSpinBox;
        box->setDecimals(p.decimals);
        box->setRange(p.min, p.max);
        box->setValue(simParam(settings_.model, p));
        modelForm_->addRow(tr(p.label), box);
        params_.push_back(box);
    }
}

TSimSettings TSimDialog::result() const
{
    TSimSettings s = settings_;
    s.sampleRate = rate_->currentData().toInt();
    s.bits = bits_->currentData().toInt();
    s.inChannels = inChannels_->value();
    s.outChannels = outChannels_->value();
    s.pacing = pacing_->currentIndex() == 1 ? TSimPacing::fast : TSimPacing::realtime;
    s.blockFrames = block_->value();
    s.seed = uint32_t(seed_->value());
    const TSimModelKind& kind = simModelKinds()[size_t(std::max(0, kind_->currentIndex()))];
    s.model.kind = kind.name;
    // Only edited values enter the map, so an untouched dialog compares equal.
    for (size_t i = 0; i < params_.size(); ++i)
        if (params_[i]->value() != simParam(settings_.model, kind.params[i]))
            s.model.params[lowerCase(kind.params[i].key)] = params_[i]->value();
    return s;
}

bool TSimDialog::edit(TSimSettings& s, QWidget* parent)
{
    TSimDialog dlg(s, parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    TSimSettings edited = dlg.result();
    if (edited == s)
        return false;
    s = edited;
    return true;
}
