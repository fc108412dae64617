// Mixer support on ALSA's simple mixer.
#include "analysis/Tmixu.h"

#include "base/TMemIniFile.h"

#include <alsa/asoundlib.h>

#include <QSocketNotifier>
#include <algorithm>

namespace {

constexpr int kFull = 65535; // the scale of every volume handed in or out

long toCard(int v, long lo, long hi) {
    return lo + long((hi - lo) * double(std::clamp(v, 0, kFull)) / kFull + 0.5);
}
int fromCard(long v, long lo, long hi) {
    return hi > lo ? int(double(v - lo) * kFull / double(hi - lo) + 0.5) : 0;
}

// The ALSA control device for a name: the first card whose name contains it, else the name.
std::string deviceFor(const QString& Mname) {
    if (Mname.isEmpty()) return "default";
    for (int card = 0; card < 16; ++card) {
        char* name = nullptr;
        if (snd_card_get_name(card, &name) < 0) continue;
        const bool hit = QString::fromUtf8(name).contains(Mname, Qt::CaseInsensitive);
        free(name);
        if (hit) return "hw:" + std::to_string(card);
    }
    return Mname.toStdString();
}

// Sets a capture volume; returns the card value written, -1 when there is none.
long setCaptureVolume(snd_mixer_elem_t* e, int v) {
    long lo = 0, hi = 0;
    if (!snd_mixer_selem_has_capture_volume(e) ||
        snd_mixer_selem_get_capture_volume_range(e, &lo, &hi) < 0)
        return -1;
    const long card = toCard(v, lo, hi);
    return snd_mixer_selem_set_capture_volume_all(e, card) >= 0 ? card : -1;
}

long captureVolume(snd_mixer_elem_t* e) {
    long v = -1;
    if (!snd_mixer_selem_has_capture_volume(e) ||
        snd_mixer_selem_get_capture_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &v) < 0)
        return -1;
    return v;
}

void setPlaybackVolume(snd_mixer_elem_t* e, int v) {
    long lo = 0, hi = 0;
    if (!e || !snd_mixer_selem_has_playback_volume(e) ||
        snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) < 0)
        return;
    snd_mixer_selem_set_playback_volume_all(e, toCard(v, lo, hi));
}

void setPlaybackMute(snd_mixer_elem_t* e, bool mute) {
    if (e && snd_mixer_selem_has_playback_switch(e))
        snd_mixer_selem_set_playback_switch_all(e, mute ? 0 : 1);
}

// A tone control flat: 0 dB where the card says which value that is, else the middle.
void setFlat(snd_mixer_elem_t* e) {
    long lo = 0, hi = 0;
    if (!e || !snd_mixer_selem_has_playback_volume(e)) return;
    if (snd_mixer_selem_set_playback_dB_all(e, 0, 0) >= 0) return;
    if (snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) >= 0)
        snd_mixer_selem_set_playback_volume_all(e, lo + (hi - lo) / 2);
}

// ALSA's own complaints (no card, no such device) would go to standard error on every start;
// the mixer ignores failures of its calls, so they are not shown.
void quiet(const char*, int, const char*, int, const char*, ...) {}

bool isTone(const char* n) {
    return !strcmp(n, "Bass") || !strcmp(n, "Treble");
}

} // namespace

Tmixu::Tmixu(QObject* parent) : QObject(parent) {}

Tmixu::~Tmixu() {
    DeIniMixer();
}

bool Tmixu::iniMixer(bool OnlyOut, const QString& Mname) {
    DeIniMixer();
    snd_lib_error_set_handler(&quiet);
    m_wantRecord = !OnlyOut;
    const std::string dev = deviceFor(Mname);
    snd_mixer_t* h = nullptr;
    if (snd_mixer_open(&h, 0) < 0) return false;
    if (snd_mixer_attach(h, dev.c_str()) < 0 || snd_mixer_selem_register(h, nullptr, nullptr) < 0 ||
        snd_mixer_load(h) < 0) {
        snd_mixer_close(h);
        FMixOn = false;
        return false;
    }
    m_mixer = h;
    scanElements();
    if (m_play.empty() || (m_wantRecord && m_sources.empty() && !m_mux)) FMixOn = false;
    watchEvents();
    return true;
}

void Tmixu::DeIniMixer() {
    m_notifiers.clear();
    m_sources.clear();
    m_play.clear();
    m_mux = nullptr;
    if (m_mixer) snd_mixer_close(m_mixer);
    m_mixer = nullptr;
}

QString Tmixu::inactiveReason() const {
    if (!m_mixer) return "no mixer found";
    if (m_play.empty() || (m_wantRecord && m_sources.empty() && !m_mux))
        return "the mixer has no recording or playback controls";
    if (!FMixOn) return "mixer control is off";
    return QString();
}

void Tmixu::scanElements() {
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(m_mixer); e; e = snd_mixer_elem_next(e)) {
        if (!snd_mixer_selem_is_active(e)) continue;
        const char* name = snd_mixer_selem_get_name(e);
        if (snd_mixer_selem_is_enum_capture(e)) {
            if (!m_mux) m_mux = e;
        } else if ((snd_mixer_selem_has_capture_volume(e) ||
                    snd_mixer_selem_has_capture_switch(e)) &&
                   int(m_sources.size()) < kMaxSources) {
            m_sources.push_back({e, QString::fromUtf8(name)});
        }
        if (snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e))
            m_play.push_back(e);
    }
}

// ALSA reports changes on its poll descriptors; the loop hands them to the element callbacks.
void Tmixu::watchEvents() {
    std::vector<snd_mixer_elem_t*> watched;
    for (const Source& s : m_sources)
        watched.push_back(s.elem);
    if (m_mux) watched.push_back(m_mux);
    for (snd_mixer_elem_t* e : watched) {
        snd_mixer_elem_set_callback_private(e, this);
        snd_mixer_elem_set_callback(e, &Tmixu::elemEvent);
    }
    const int n = snd_mixer_poll_descriptors_count(m_mixer);
    std::vector<pollfd> fds(size_t(std::max(n, 0)));
    if (n <= 0 || snd_mixer_poll_descriptors(m_mixer, fds.data(), unsigned(n)) < 0) return;
    for (const pollfd& p : fds) {
        auto sn = std::make_unique<QSocketNotifier>(p.fd, QSocketNotifier::Read);
        connect(sn.get(), &QSocketNotifier::activated, this, [this] {
            if (m_mixer) snd_mixer_handle_events(m_mixer);
        });
        m_notifiers.push_back(std::move(sn));
    }
}

int Tmixu::elemEvent(snd_mixer_elem_t* e, unsigned int mask) {
    if (mask == SND_CTL_EVENT_MASK_REMOVE || !(mask & SND_CTL_EVENT_MASK_VALUE)) return 0;
    auto* self = static_cast<Tmixu*>(snd_mixer_elem_get_callback_private(e));
    if (self) self->onElemEvent(e);
    return 0;
}

void Tmixu::onElemEvent(snd_mixer_elem_t* e) {
    if (e == m_mux) {
        emit inputSelectionChanged();
        return;
    }
    for (size_t i = 0; i < m_sources.size(); ++i) {
        Source& s = m_sources[i];
        if (s.elem != e) continue;
        if (!m_mux && snd_mixer_selem_has_capture_switch(e)) emit inputSelectionChanged();
        // The echo of a level this object set is no change: the volume bar that set it would
        // otherwise be moved to the card's rounded value.
        const long v = captureVolume(e);
        if (v == s.written) continue;
        s.written = v;
        if (notifyVolMask & (1u << i)) emit inputVolumeChanged();
    }
}

bool Tmixu::acting(bool needRecord, bool needPlay) const {
    if (!FMixOn || !m_mixer) return false;
    if (needRecord && m_sources.empty() && !m_mux) return false;
    return !(needPlay && m_play.empty());
}

QStringList Tmixu::getInChannels(int* muxpos) const {
    QStringList names;
    for (const Source& s : m_sources)
        names << s.name;
    if (muxpos) *muxpos = getAktChannelNum();
    return names;
}

QString Tmixu::getChannelName(int n) const {
    return n >= 0 && n < int(m_sources.size()) ? m_sources[size_t(n)].name : QString();
}

int Tmixu::getAktChannelNum() const {
    if (!m_mixer) return -1;
    if (m_mux) {
        unsigned item = 0;
        char name[64] = {};
        if (snd_mixer_selem_get_enum_item(m_mux, SND_MIXER_SCHN_FRONT_LEFT, &item) >= 0 &&
            snd_mixer_selem_get_enum_item_name(m_mux, item, sizeof name, name) >= 0)
            for (size_t i = 0; i < m_sources.size(); ++i)
                if (m_sources[i].name == QString::fromUtf8(name)) return int(i);
    }
    for (size_t i = 0; i < m_sources.size(); ++i) {
        int on = 0;
        if (snd_mixer_selem_has_capture_switch(m_sources[i].elem) &&
            snd_mixer_selem_get_capture_switch(m_sources[i].elem, SND_MIXER_SCHN_FRONT_LEFT, &on) >=
                0 &&
            on)
            return int(i);
    }
    return -1;
}

int Tmixu::setInChannel(int n) {
    if (!acting(true, false) || n < 0 || n >= int(m_sources.size())) return -1;
    const QString want = m_sources[size_t(n)].name;
    if (m_mux) {
        const int items = snd_mixer_selem_get_enum_items(m_mux);
        for (int i = 0; i < items; ++i) {
            char name[64] = {};
            if (snd_mixer_selem_get_enum_item_name(m_mux, unsigned(i), sizeof name, name) >= 0 &&
                want == QString::fromUtf8(name))
                for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch)
                    snd_mixer_selem_set_enum_item(m_mux, snd_mixer_selem_channel_id_t(ch),
                                                  unsigned(i));
        }
        return n;
    }
    for (size_t i = 0; i < m_sources.size(); ++i)
        if (snd_mixer_selem_has_capture_switch(m_sources[i].elem))
            snd_mixer_selem_set_capture_switch_all(m_sources[i].elem, int(i) == n ? 1 : 0);
    return n;
}

void Tmixu::setNotifyVolmask(int n) {
    if (n >= 0 && n < kMaxSources) notifyVolMask |= 1u << n;
}

void Tmixu::setInVolumeAT(int v, int n) {
    if (!acting(true, false) || n < 0 || n >= int(m_sources.size())) return;
    for (size_t i = 0; i < m_sources.size(); ++i)
        m_sources[i].written = setCaptureVolume(m_sources[i].elem, int(i) == n ? v : 0);
}

int Tmixu::getInVolume() const {
    const int n = acting(true, false) ? getAktChannelNum() : -1;
    if (n < 0) return 0;
    snd_mixer_elem_t* e = m_sources[size_t(n)].elem;
    long lo = 0, hi = 0, v = 0;
    if (!snd_mixer_selem_has_capture_volume(e) ||
        snd_mixer_selem_get_capture_volume_range(e, &lo, &hi) < 0 ||
        snd_mixer_selem_get_capture_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &v) < 0)
        return 0;
    return fromCard(v, lo, hi);
}

snd_mixer_elem_t* Tmixu::playElem(const char* name) const {
    for (snd_mixer_elem_t* e : m_play)
        if (!strcmp(snd_mixer_selem_get_name(e), name)) return e;
    return nullptr;
}

void Tmixu::setOutVolume(int v, int n) {
    if (acting(false, true) && n >= 0 && n < int(m_play.size()))
        setPlaybackVolume(m_play[size_t(n)], v);
}

void Tmixu::setOutMute(bool m, int n) {
    if (acting(false, true) && n >= 0 && n < int(m_play.size()))
        setPlaybackMute(m_play[size_t(n)], m);
}

void Tmixu::setOutMasterVolAT(int v) {
    if (!acting(false, true)) return;
    setOutMasterVol(v);
    setPlaybackMute(playElem("Master"), false);
    for (snd_mixer_elem_t* e : m_play) {
        const char* name = snd_mixer_selem_get_name(e);
        if (isTone(name))
            setFlat(e);
        else if (strcmp(name, "Master") != 0) {
            setPlaybackVolume(e, 0);
            setPlaybackMute(e, true);
        }
    }
    setWaveOutfull();
}

void Tmixu::setWaveOutfull() {
    if (!acting(false, true)) return;
    setPlaybackVolume(playElem("PCM"), kFull);
    setPlaybackMute(playElem("PCM"), false);
}

void Tmixu::setOutMasterVol(int v) {
    if (acting(false, true)) setPlaybackVolume(playElem("Master"), v);
}

int Tmixu::getOutMasterVol() const {
    snd_mixer_elem_t* e = acting(false, true) ? playElem("Master") : nullptr;
    long lo = 0, hi = 0, v = 0;
    if (!e || !snd_mixer_selem_has_playback_volume(e) ||
        snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) < 0 ||
        snd_mixer_selem_get_playback_volume(e, SND_MIXER_SCHN_FRONT_LEFT, &v) < 0)
        return 0;
    return fromCard(v, lo, hi);
}

void Tmixu::SaveToFile(TMemIniFile& ini) const {
    ini.WriteBool("MIX", "MIXON", FMixOn);
}
void Tmixu::Loadfromfile(const TMemIniFile& ini) {
    FMixOn = ini.ReadBool("MIX", "MIXON", false);
}
