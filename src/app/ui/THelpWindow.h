// The help window: the help pages of data/help/ in a browser, opened at a topic number.
#pragma once

#include <QTextBrowser>
#include <QWidget>

class QToolButton;

// A text browser over the help pages. Pages are "<topic>.html" in the help folder; images
// named "wiring:<name>" are the wiring diagrams, drawn by the program (helpWiringPicture).
class THelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit THelpBrowser(QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;
};

// The help window (one per program, not modal). GUI thread only.
class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);
    // Shows the page of `topic` (topic 0 and topics without a page: the contents, topic 1) and
    // raises the window. Returns the topic whose page is shown.
    int showTopic(int topic);
    THelpBrowser* browser() const { return m_browser; }

private:
    THelpBrowser* m_browser = nullptr; // the page
};

// The folder of the help pages: <program folder>/../data/help/.
QString helpFolder();
// The page file of a topic; empty when the topic has none (0 is the contents).
QString helpPageFile(int topic);
// The wiring diagram `name` ("loopback", "amplifier", "impedance", "acoustic", "input"); null
// for an unknown name.
QImage helpWiringPicture(const QString& name);
