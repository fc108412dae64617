// The JACK module's own settings dialog.
#include "TJackDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

static const QString kDefault = QStringLiteral("default");

static QComboBox* portBox(const std::vector<std::string>& ports, const std::string& current)
{
    auto* box = new QComboBox;
    box->setEditable(true);
    box->addItem(kDefault);
    box->addItem(QStringLiteral("-"));
    for (const auto& p : ports)
        box->addItem(QString::fromStdString(p));
    box->setCurrentText(current.empty() ? kDefault : QString::fromStdString(current));
    return box;
}

static QSpinBox* countBox(int value)
{
    auto* s = new QSpinBox;
    s->setRange(1, kJackMaxChannels);
    s->setValue(value);
    return s;
}

TJackDialog::TJackDialog(const TJackSettings& s, const std::vector<std::string>& playbackPorts,
                         const std::vector<std::string>& capturePorts, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("JACK"));
    auto* top = new QVBoxLayout(this);
    auto* client = new QGroupBox(QStringLiteral("Client"));
    auto* form = new QFormLayout(client);
    name_ = new QLineEdit(QString::fromStdString(s.clientName));
    name_->setMaxLength(63);
    form->addRow(QStringLiteral("Name"), name_);
    outChannels_ = countBox(s.outChannels);
    form->addRow(QStringLiteral("Output channels"), outChannels_);
    inChannels_ = countBox(s.inChannels);
    form->addRow(QStringLiteral("Input channels"), inChannels_);
    loopback_ = new QCheckBox(QStringLiteral("Connect the outputs straight to the inputs (loopback)"));
    loopback_->setChecked(s.loopback);
    form->addRow(loopback_);
    top->addWidget(client);

    auto* links = new QGroupBox(QStringLiteral("Connections"));
    auto* linkForm = new QFormLayout(links);
    for (int c = 0; c < kJackMaxChannels; ++c) {
        outs_.push_back(portBox(playbackPorts, size_t(c) < s.outPorts.size() ? s.outPorts[size_t(c)] : std::string()));
        outLabels_.push_back(new QLabel(QStringLiteral("out_%1 to").arg(c + 1)));
        linkForm->addRow(outLabels_.back(), outs_.back());
    }
    for (int c = 0; c < kJackMaxChannels; ++c) {
        ins_.push_back(portBox(capturePorts, size_t(c) < s.inPorts.size() ? s.inPorts[size_t(c)] : std::string()));
        inLabels_.push_back(new QLabel(QStringLiteral("in_%1 from").arg(c + 1)));
        linkForm->addRow(inLabels_.back(), ins_.back());
    }
    top->addWidget(links);
    showRows();
    connect(inChannels_, &QSpinBox::valueChanged, this, [this] { showRows(); });
    connect(outChannels_, &QSpinBox::valueChanged, this, [this] { showRows(); });
    connect(loopback_, &QCheckBox::toggled, this, [this] { showRows(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);
}

// Rows of channels that exist; none while loopback decides the connections.
void TJackDialog::showRows()
{
    const bool loop = loopback_->isChecked();
    for (int c = 0; c < kJackMaxChannels; ++c) {
        const bool out = !loop && c < outChannels_->value(), in = !loop && c < inChannels_->value();
        outs_[size_t(c)]->setVisible(out);
        outLabels_[size_t(c)]->setVisible(out);
        ins_[size_t(c)]->setVisible(in);
        inLabels_[size_t(c)]->setVisible(in);
    }
}

TJackSettings TJackDialog::result() const
{
    TJackSettings s;
    const QString name = name_->text().trimmed();
    s.clientName = name.isEmpty() || name.contains(QLatin1Char(':')) ? std::string("velmora") : name.toStdString();
    s.inChannels = inChannels_->value();
    s.outChannels = outChannels_->value();
    s.loopback = loopback_->isChecked();
    auto take = [](const std::vector<QComboBox*>& boxes, int count) {
        std::vector<std::string> v;
        for (int c = 0; c < count; ++c) {
            const QString t = boxes[size_t(c)]->currentText().trimmed();
            v.push_back(t == kDefault ? std::string() : t.toStdString());
        }
        while (!v.empty() && v.back().empty())
            v.pop_back();
        return v;
    };
    s.outPorts = take(outs_, s.outChannels);
    s.inPorts = take(ins_, s.inChannels);
    return s;
}
