// Window messages as posted Qt events.
#include "core/winMessage.h"

#include <QCoreApplication>

QEvent::Type TMsgEvent::eventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

void postMsg(QObject* receiver, int msg, intptr_t wParam, intptr_t lParam)
{
    if (!receiver) return;
    postMsgEvent(receiver, new TMsgEvent(msg, wParam, lParam));
}

void postMsgEvent(QObject* receiver, TMsgEvent* e)
{
    if (!receiver) {
        delete e;
        return;
    }
#if defined(__SANITIZE_THREAD__)
    __tsan_release(e);
#endif
    QCoreApplication::postEvent(receiver, e);
}

void msgReceived(const QEvent* e)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<QEvent*>(e));
#else
    (void)e;
#endif
}
