// The help window and its browser.
#include "app/ui/THelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
constexpr int kContentsTopic = 1;
} // namespace

QString helpFolder() { return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../data/help") + "/"; }

QString helpPageFile(int topic)
{
    const QString f = helpFolder() + QString::number(topic == 0 ? kContentsTopic : topic) + ".html";
    return QFileInfo::exists(f) ? f : QString();
}

THelpBrowser::THelpBrowser(QWidget* parent) : QTextBrowser(parent)
{
    setOpenExternalLinks(false);
    setSearchPaths({helpFolder()});
}

QVariant THelpBrowser::loadResource(int type, const QUrl& name)
{
    if (type == QTextDocument::ImageResource && name.scheme() == "wiring") {
        const QImage img = helpWiringPicture(name.path());
        if (!img.isNull()) return img;
    }
    return QTextBrowser::loadResource(type, name);
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("helpWindow");
    setWindowTitle("Velmora Help");
    auto* col = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_browser = new THelpBrowser(this);
    auto button = [&](const QString& text, auto slot) {
        auto* b = new QToolButton(this);
        b->setText(text);
        connect(b, &QToolButton::clicked, m_browser, slot);
        row->addWidget(b);
        return b;
    };
    QToolButton* back = button("< Back", &QTextBrowser::backward);
    QToolButton* fwd = button("Forward >", &QTextBrowser::forward);
    auto* home = new QToolButton(this);
    home->setText("Contents");
    connect(home, &QToolButton::clicked, this, [this] { showTopic(kContentsTopic); });
    row->addWidget(home);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, fwd, &QWidget::setEnabled);
    back->setEnabled(false);
    fwd->setEnabled(false);
    row->addStretch(1);
    col->addLayout(row);
    col->addWidget(m_browser, 1);
    resize(760, 620);
}

int THelpWindow::showTopic(int topic)
{
    QString file = helpPageFile(topic);
    int shown = topic == 0 ? kContentsTopic : topic;
    if (file.isEmpty()) {
        file = helpPageFile(kContentsTopic);
        shown = kContentsTopic;
    }
    m_browser->setSource(QUrl::fromLocalFile(file));
    show();
    // Without a window system there is nothing to raise (the platform would only complain).
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        raise();
        activateWindow();
    }
    return shown;
}
