// The message service: every message box the program shows goes through here.
#pragma once

#include <QString>
#include <functional>

namespace vl {

enum class MsgKind { Error, Warning, Information, Confirmation };

// Buttons of a message box, combinable; the answer is one of them.
enum MsgButton : int { mbOK = 1, mbCancel = 2, mbYes = 4, mbNo = 8, mbAbort = 16, mbRetry = 32, mbIgnore = 64 };

// One message: what the user would see in a box.
struct Message {
    MsgKind kind = MsgKind::Error; // icon and default title
    QString title;                 // window caption, e.g. "Error"
    QString text;                  // the message itself
    int buttons = mbOK;            // buttons offered
    int defaultButton = mbOK;      // answer when nobody can be asked
};

// A place that shows messages: the GUI installs one with boxes, tests install a recorder.
// Called on the GUI thread only.
class IMessageService {
public:
    virtual ~IMessageService() = default;
    virtual int show(const Message& m) = 0; // returns the button pressed
};

// Writes every message to standard error and answers with the default button. Used before the
// GUI exists, with --quit, and whenever no other service is installed.
class StderrMessageService : public IMessageService {
public:
    int show(const Message& m) override;
};

// Installs a service (not owned); nullptr restores the standard-error service.
void setMessageService(IMessageService* service);
IMessageService& messageService();

// Shorthands with the program's usual titles.
int showMessage(MsgKind kind, const QString& title, const QString& text, int buttons = mbOK,
                int defaultButton = mbOK);
inline void errorBox(const QString& text) { showMessage(MsgKind::Error, "Error", text); }
inline void warningBox(const QString& text) { showMessage(MsgKind::Warning, "Warning", text); }
inline void infoBox(const QString& text) { showMessage(MsgKind::Information, "Information", text); }

} // namespace vl
