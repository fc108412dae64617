// The oscilloscope window: paints the scope's screen, opens its settings dialog and takes the
// settings the dialog posts.
#pragma once

#include "core/winMessage.h"
#include "measurements/TOsziScope.h"

#include <QImage>
#include <QWidget>
#include <functional>

class TOsziDlg;

// Message number of the dialog's settings (the window copies the whole record).
constexpr int MSG_OSZI_SETTINGS = 0x400 + 60;

// Carries a copy of the dialog's record to the window.
class TOsziSettingsEvent : public TMsgEvent {
public:
    explicit TOsziSettingsEvent(const TOsziData& d) : TMsgEvent(MSG_OSZI_SETTINGS, 0, 0), data(d) {}
    const TOsziData data; // the whole record
};

// Holds the scope (settings, screen colours, the last frame) for the whole program run, so the
// automatic sample rate's cache lives as long. GUI thread only.
class TOszidia : public QWidget {
    Q_OBJECT
public:
    explicit TOszidia(QWidget* parent = nullptr);
    ~TOszidia() override;

    TOsziScope& scope() { return m_scope; }
    // Copies the settings into the dialog and shows it (not modal); it posts every change here.
    void DoDlg();
    TOsziDlg* dialog() const { return m_dlg; }
    void hideDialog();
    // The screen as a picture of this size (the window's own size when empty).
    QImage picture(QSize size = {});
    // Called after the settings of the dialog were applied (the measurement resizes its block).
    std::function<void()> onSettingsApplied;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    TOsziScope m_scope;        // the scope's state
    TOsziDlg* m_dlg = nullptr; // the settings dialog, made on first use (child)
};
