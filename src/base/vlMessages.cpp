// The message service: the standard-error fallback and the installed service.
#include "base/vlMessages.h"

#include <cstdio>

namespace vl {

namespace {
StderrMessageService g_stderrService;
IMessageService* g_service = nullptr;

const char* kindName(MsgKind k)
{
    switch (k) {
    case MsgKind::Error: return "error";
    case MsgKind::Warning: return "warning";
    case MsgKind::Information: return "information";
    case MsgKind::Confirmation: return "confirmation";
    }
    return "message";
}
} // namespace

int StderrMessageService::show(const Message& m)
{
    QString text = m.text;
    text.replace("\r\n", "\n").replace('\r', '\n');
    std::fprintf(stderr, "velmora %s [%s]: %s\n", kindName(m.kind), qUtf8Printable(m.title),
                 qUtf8Printable(text));
    std::fflush(stderr);
    return m.defaultButton;
}

void setMessageService(IMessageService* service) { g_service = service; }

IMessageService& messageService() { return g_service ? *g_service : g_stderrService; }

int showMessage(MsgKind kind, const QString& title, const QString& text, int buttons,
                int defaultButton)
{
    return messageService().show(Message{kind, title, text, buttons, defaultButton});
}

} // namespace vl
