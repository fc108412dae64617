// Small widget services: window transparency and showing the stop-watch time.
#include "app/ui/utilsWidgets.h"

#include "base/utils.h"

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

void vlSetWindowTransparency(QWidget* window, int percent)
{
    if (!window)
        return;
    if (const std::optional<int> alpha = vlWindowAlpha(percent))
        window->setWindowOpacity(*alpha / 255.0);
    else if (window->windowOpacity() < 1.0) // back to 100 must not keep an earlier translucency
        window->setWindowOpacity(1.0);
}

void vlShowStopWatch(QLabel* label)
{
    if (label)
        label->setText(vlStopWatchText(vlMsSinceTimerStart()));
}

void vlShowStopWatch(QLineEdit* edit)
{
    if (edit)
        edit->setText(QString::asprintf("%1.3f", vlMsSinceTimerStart()));
}
