// User message numbers the diagram window and its dialogs exchange (WM_USER based), and the
// event that hands the window a result package.
#pragma once

#include "core/winMessage.h"

#include <memory>

class TGdata;

enum : int {
    MSG_DIA_CLEARCURVE = WM_USER_BASE + 16, // 1040: clear the peak hold of slot wParam
    MSG_DIA_DRAWN = WM_USER_BASE + 28,      // 1052: a result package was drawn (723, 13)
    MSG_DIA_PUTDIA = WM_USER_BASE + 29      // 1053: draw the package the event carries
};
static_assert(MSG_DIA_CLEARCURVE == 1040 && MSG_DIA_DRAWN == 1052 && MSG_DIA_PUTDIA == 1053);

// Message 1053 with the package it hands over. The event shares the package, so the package
// lives as long as the message is on its way, whatever becomes of the measurement meanwhile.
class TPutDiaEvent : public TMsgEvent {
public:
    explicit TPutDiaEvent(std::shared_ptr<TGdata> pkg);
    ~TPutDiaEvent() override;

    const std::shared_ptr<TGdata> package; // the result package, never null
};

// Posts message 1053 with a package to the diagram window. A null window or package posts nothing.
void postPackage(QObject* window, std::shared_ptr<TGdata> pkg);
// The package a message carries: null for any message but a 1053 made by postPackage.
TGdata* packageOf(const TMsgEvent& m);
