// Window messages as posted Qt events.
#include "core/winMessage.h"

#include <QCoreApplication>

QEvent::Type TMsgEvent::eventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void postMsg(QObject* receiver, int msg, intptr_t wParam, intptr_t lParam)
{
    if (receiver) QCoreApplication::postEvent(receiver, new TMsgEvent(msg, wParam, lParam));
}
