// Window messages as posted Qt events: (msg, wParam, lParam) delivered to a QObject.
#pragma once

#include <QEvent>
#include <QObject>
#include <cstdint>

// User message numbers (WM_USER-based, kept as the program has always numbered them).
enum : int {
    WM_USER_BASE = 0x400,
    MSG_NEW_BLOCK = 0x40D,       // new input block ready (main window)
    MSG_IN_STATE = 0x414,        // input state changed (main window)
    MSG_OUT_STATE = 0x415,       // output state changed (main window)
    MSG_IN_TEXT = 0x416,         // input status text changed (main window)
    MSG_OUT_TEXT = 0x417,        // output status text changed (main window)
    MSG_SEPARATOR = 0x41A,       // separator character changed (main window)
    MSG_SOUND_ONOFF = 0x41F      // sound on/off (main window)
};

// The event that carries one window message.
class TMsgEvent : public QEvent {
public:
    TMsgEvent(int msg, intptr_t wParam, intptr_t lParam)
        : QEvent(eventType()), msg(msg), wParam(wParam), lParam(lParam) {}
    static QEvent::Type eventType();

    const int msg;          // message number
    const intptr_t wParam;  // first parameter
    const intptr_t lParam;  // second parameter
};

// Posts a message to a receiver; safe from any thread (the event is queued on the receiver's
// thread). Does nothing for a null receiver.
void postMsg(QObject* receiver, int msg, intptr_t wParam = 0, intptr_t lParam = 0);
// Posts a message event made by the caller (one that carries more than the two parameters);
// the event is the queue's from now on, deleted unsent for a null receiver.
void postMsgEvent(QObject* receiver, TMsgEvent* e);

// Qt's event queue hands a posted event to the receiving thread under a lock that the thread
// sanitizer cannot see (Qt is not built with it), so it takes the receiver's first look at an
// event made on another thread for a race. A receiver of messages calls this before it reads
// an event: it takes over what postMsg handed on. It does nothing in other builds.
void msgReceived(const QEvent* e);
