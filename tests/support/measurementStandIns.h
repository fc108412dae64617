// Stand-ins for the main window and the diagram window around a measurement under test.
#pragma once

#include "core/winMessage.h"
#include "display/TGdata.h"
#include "display/diaMessages.h"
#include "display/IDiagramHost.h"
#include "measurements/MeasurementClass.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <numeric>
#include <vector>

// The diagram window's side: takes each package, notes what it saw and answers at once; or,
// while `hold` is set, keeps the packages as a busy window's queue would, until deliverHeld().
class FakeHost : public QObject, public IDiagramHost {
public:
    bool event(QEvent* e) override
    {
        if (e->type() != TMsgEvent::eventType())
            return QObject::event(e);
        const auto* put = dynamic_cast<const TPutDiaEvent*>(static_cast<TMsgEvent*>(e));
        if (!put)
            return true;
        if (hold)
            held.push_back(put->package);
        else
            draw(*put->package);
        return true;
    }
    void draw(TGdata& g)
    {
        if (onDraw)
            onDraw(g);
        ++packages;
        lastChannels = int(g.asdDia.size());
        lastSpectrum = g.asdDia.empty() ? Tsamplemem() : g.asdDia[0];
        lastX = g.sdX;
        g.Working = false;
        postMsg(g.MsgHandle, 0x400 + 28, 723, 13);
    }
    // The held packages arrive: each is read whole, whatever became of its measurement, then
    // drawn, or dropped when withdrawn. Returns how many were dropped.
    int deliverHeld()
    {
        int dropped = 0;
        for (const std::shared_ptr<TGdata>& g : held) {
            for (const auto* list : {&g->asdDia, &g->asdZ, &g->asdPh})
                for (const Tsamplemem& b : *list)
                    readSum += std::accumulate(b.smpoi(), b.smpoi() + b.samples(), 0.0);
            readSum += g->sdX.samples() + g->ComStrList.join(' ').size();
            if (g->Withdrawn)
                ++dropped;
            else
                draw(*g);
        }
        held.clear();
        return dropped;
    }
    QObject* diagramReceiver() override { return this; }
    void openSecondaryPanel(int32_t typ) override { panels << typ; }
    void loadDiagram(const QString&, const QString& topic) override { loadedTopic = topic; }
    void saveDiagram(const QString&, const QString& topic) override { savedTopic = topic; }
    void setUnitTexts(const QString&, const QString&) override {}
    void setFFTInfo(int32_t points, int32_t rate) override { fftPoints = points, sampleRate = rate; }
    void setMarkerOn(bool, bool) override {}
    void resetDiagram() override {}
    void setYUnit(const QString& u) override { yUnit = u; }
    void setCommentLines(const QStringList& lines, int32_t) override { comments = lines; }
    void setTimeDiagramRange(double, const QString&) override {}
    void newCurveSet() override { ++newSets; }
    void setCurveComments(const QStringList&) override {}

    std::function<void(TGdata&)> onDraw;       // sees each package drawn first
    bool hold = false;                         // keep packages instead of drawing them
    std::vector<std::shared_ptr<TGdata>> held; // packages kept, oldest first
    double readSum = 0.0;                      // what reading the held packages gave
    int packages = 0, lastChannels = 0, fftPoints = 0, sampleRate = 0, newSets = 0;
    Tsamplemem lastSpectrum, lastX;
    QList<int32_t> panels;
    QString loadedTopic, savedTopic, yUnit;
    QStringList comments;
};

// Stands in for the main window: every block notification runs the measurement's Mexecute.
class BlockPump : public QObject {
public:
    tMeasureObj* meas = nullptr; // the measurement to run, none when null
    int blocks = 0;              // notifications received
    bool event(QEvent* e) override
    {
        if (e->type() == TMsgEvent::eventType() && static_cast<TMsgEvent*>(e)->msg == MSG_NEW_BLOCK && meas) {
            ++blocks;
            meas->Mexecute(0);
        }
        return true;
    }
};
