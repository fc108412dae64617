// The main window's side of the impulse measurements (modes 4, 5 and 11): creating them, their status texts, recalculation.
#include "app/ui/TMainForm.h"

#include "display/ui/Tdiafrm.h"
#include "measurements/tIpsMeas.h"
#include "measurements/ui/TChild3D.h"

void TMainForm::registerImpulse()
{
    RegisterMeasurement(mcIps, [this](const TMeasModeInfo& info) {
        auto m = std::make_unique<tIpsMeas>(m_diafrm, info.mode);
        m->setSettingsFile(m_ini.FileName());
        m->setSettingsIni(&m_ini);
        m->setWindow3D(m_child3D);
        tIpsMeas* meas = m.get();
        m->onSlice = [this, meas](const std::vector<double>& db, const std::vector<double>&, double t_ms) {
            if (!m_child3D) return;
            Tsamplemem band(int32_t(db.size()));
            std::copy(db.begin(), db.end(), band.smpoi());
            const std::vector<double>& time = meas->lastShot().time.empty() ? db : meas->lastShot().time[0];
            Tsamplemem z(int32_t(std::min<size_t>(time.size(), 96000)));
            std::copy_n(time.begin(), z.samples(), z.smpoi());
            m_child3D->PushDatas(&band, &z, t_ms, int32_t(db.size() * 2), meas->sampleRate());
        };
        if (m_child3D) {
            m_child3D->fOnParaChange = [this] { recalcImpulse(); };
        }
        return m;
    });
    // The markers moved in the time diagram (FFT start, gate end, trigger level) evaluate the
    // last shot again; the level meter's slider follows a moved trigger level.
    if (m_diafrm) m_diafrm->setOnParaChange([this] {
        recalcImpulse();
        syncVUTrigger();
    });
}

void TMainForm::recalcImpulse()
{
    if (m_meas) m_meas->recalc();
}

// Command 5: the 2D diagram's remark line, or the 3D window's caption in mode 5.
void TMainForm::showRemark(const QString& text)
{
    if (measuringMode() == 5) {
        if (m_child3D) m_child3D->setWindowTitle(text.isEmpty() ? QStringLiteral("3D") : text);
        return;
    }
    if (m_diafrm) m_diafrm->setRemark(text);
}
