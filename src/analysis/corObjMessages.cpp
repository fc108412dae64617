// Routes the messages of correction curves to the program's message service.
#include "analysis/corObjMessages.h"

#include "base/vlMessages.h"

Tcorri::MessageSink correctionMessageSink()
{
    return [](const std::string& title, const std::string& text) {
        vl::showMessage(vl::MsgKind::Warning, QString::fromStdString(title), QString::fromStdString(text));
    };
}
