// The event of message 1053: a result package shared with the diagram window.
#include "display/diaMessages.h"

#include "display/TGdata.h"

TPutDiaEvent::TPutDiaEvent(std::shared_ptr<TGdata> pkg)
    : TMsgEvent(MSG_DIA_PUTDIA, 0, 0), package(std::move(pkg))
{
}

TPutDiaEvent::~TPutDiaEvent() = default;

void postPackage(QObject* window, std::shared_ptr<TGdata> pkg)
{
    if (window && pkg)
        postMsgEvent(window, new TPutDiaEvent(std::move(pkg)));
}

TGdata* packageOf(const TMsgEvent& m)
{
    const auto* put = m.msg == MSG_DIA_PUTDIA ? dynamic_cast<const TPutDiaEvent*>(&m) : nullptr;
    return put ? put->package.get() : nullptr;
}
