// The JACK module's own settings dialog: client name, channel counts and connections.
#pragma once

#include "TJackSettings.h"

#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

// Edits a copy of the settings. Every channel gets an editable list of the server's ports to
// connect to (outputs: the ports one can play into; inputs: the ports one can record from),
// plus "default" (the n-th physical port) and "-" (no connection). GUI thread, with a
// QApplication.
class TJackDialog : public QDialog {
public:
    TJackDialog(const TJackSettings& settings, const std::vector<std::string>& playbackPorts,
                const std::vector<std::string>& capturePorts, QWidget* parent = nullptr);
    // The settings as edited.
    TJackSettings result() const;

private:
    void showRows();

    QLineEdit* name_ = nullptr;
    QSpinBox* inChannels_ = nullptr;
    QSpinBox* outChannels_ = nullptr;
    QCheckBox* loopback_ = nullptr;
    std::vector<QComboBox*> outs_; // one per possible output channel
    std::vector<QComboBox*> ins_;  // one per possible input channel
    std::vector<QWidget*> outLabels_, inLabels_;
};
