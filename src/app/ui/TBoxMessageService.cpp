// Message boxes for the message service.
#include "app/ui/TBoxMessageService.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon iconOf(vl::MsgKind k)
{
    switch (k) {
    case vl::MsgKind::Error: return QMessageBox::Critical;
    case vl::MsgKind::Warning: return QMessageBox::Warning;
    case vl::MsgKind::Information: return QMessageBox::Information;
    case vl::MsgKind::Confirmation: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// Pairs of our button bits and Qt's standard buttons.
const std::pair<int, QMessageBox::StandardButton> kButtons[] = {
    {vl::mbOK, QMessageBox::Ok},       {vl::mbCancel, QMessageBox::Cancel},
    {vl::mbYes, QMessageBox::Yes},     {vl::mbNo, QMessageBox::No},
    {vl::mbAbort, QMessageBox::Abort}, {vl::mbRetry, QMessageBox::Retry},
    {vl::mbIgnore, QMessageBox::Ignore}};

} // namespace

int TBoxMessageService::show(const vl::Message& m)
{
    QString text = m.text;
    text.replace("\r\n", "\n").replace('\r', '\n');
    QMessageBox box(iconOf(m.kind), m.title, text, QMessageBox::NoButton, m_parent);
    for (const auto& [bit, qt] : kButtons) {
        if (m.buttons & bit) box.addButton(qt);
        if (m.defaultButton == bit) box.setDefaultButton(qt);
    }
    const int pressed = box.exec();
    for (const auto& [bit, qt] : kButtons)
        if (pressed == qt) return bit;
    return m.defaultButton;
}
