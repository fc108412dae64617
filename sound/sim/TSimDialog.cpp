// The virtual bench's own settings dialog.
#include "TSimDialog.h"

#include "TSimModel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

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
    draft_ = settings_.model;
    buildModelFields();
    connect(kind_, &QComboBox::currentIndexChanged, this, [this] {
        keepModelFields(draft_); // switching kinds keeps what was typed
        buildModelFields();
    });

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

// Rebuilds the parameter rows for the chosen kind, filled from the draft.
void TSimDialog::buildModelFields()
{
    while (modelForm_->rowCount() > 1)
        modelForm_->removeRow(1);
    numbers_.clear();
    texts_.clear();
    shown_ = &simModelKinds()[size_t(std::max(0, kind_->currentIndex()))];
    for (const TSimParamInfo& p : shown_->params) {
        QDoubleSpinBox* box = nullptr;
        QLineEdit* line = nullptr;
        if (p.text) {
            line = new QLineEdit(QString::fromStdString(simText(draft_, shown_->name, p.key)));
            line->setObjectName(QString::fromLatin1(p.key));
            modelForm_->addRow(tr(p.label), line);
        } else {
            box = new QDoubleSpinBox;
            box->setObjectName(QString::fromLatin1(p.key));
            box->setDecimals(p.decimals);
            box->setRange(p.min, p.max);
            box->setValue(simParam(draft_, *shown_, p));
            modelForm_->addRow(tr(p.label), box);
        }
        numbers_.push_back(box);
        texts_.push_back(line);
    }
}

// Puts the shown kind's fields into m. Only edited values enter the maps (a value set back
// to what the settings hold restores their entry), so an untouched dialog compares equal.
void TSimDialog::keepModelFields(TSimModelSettings& m) const
{
    const TSimModelSettings& was = settings_.model;
    for (size_t i = 0; i < shown_->params.size(); ++i) {
        const TSimParamInfo& p = shown_->params[i];
        const std::string key = simKey(shown_->section, p.key);
        if (texts_[i]) {
            const std::string text = texts_[i]->text().trimmed().toStdString();
            if (text != simText(was, shown_->name, p.key))
                m.texts[key] = text;
            else if (was.texts.count(key))
                m.texts[key] = was.texts.at(key);
            else
                m.texts.erase(key);
        } else if (numbers_[i]->value() != simParam(was, *shown_, p)) {
            m.params[key] = numbers_[i]->value();
        } else if (was.params.count(key)) {
            m.params[key] = was.params.at(key);
        } else {
            m.params.erase(key);
        }
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
    s.model = draft_;
    keepModelFields(s.model);
    s.model.kind = shown_->name;
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
