// Mixer support: the sound card's recording source, input level and playback set-up through
// ALSA's simple mixer, with change notifications in the Qt event loop.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QSocketNotifier;
class TMemIniFile;
typedef struct _snd_mixer snd_mixer_t;
typedef struct _snd_mixer_elem snd_mixer_elem_t;

// The mixer of one card. Volumes are 0..65535 whatever the card's own range (mapped linearly).
// Recording sources are the elements with a capture volume or switch, in the card's order (at
// most kMaxSources); an enumerated capture element ("Capture Source") acts as the multiplexer.
// Playback: "Master" is the master volume, "PCM" the wave output; every other playback element
// is a source to be silenced; "Bass" and "Treble" are tone controls.
//
// Every operation does nothing (reads give 0 or -1) while mixer control is off (MixOn), no
// mixer is open, or the side it needs is missing; errors of ALSA calls are ignored.
// GUI thread only: ALSA's change events arrive through socket notifiers on the thread's loop.
class Tmixu : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxSources = 19;

    explicit Tmixu(QObject* parent = nullptr);
    ~Tmixu() override;

    // Opens the mixer: with a name, the first card (0..15) whose name contains it, else the name
    // as an ALSA control device ("default", "hw:1", a name from the ALSA configuration); without
    // one, "default". OnlyOut: the recording side is not wanted. A wanted side that is missing
    // switches mixer control off. True when a mixer is open.
    bool iniMixer(bool OnlyOut, const QString& Mname = QString());
    void DeIniMixer();
    bool isOpen() const { return m_mixer != nullptr; }
    // Why the operations do nothing, "" when they act: for the menu.
    QString inactiveReason() const;

    bool MixOn() const { return FMixOn; }
    void setMixOn(bool on) { FMixOn = on; }

    // Names of the recording sources; *muxpos receives the selected one (-1 none).
    QStringList getInChannels(int* muxpos = nullptr) const;
    // Selects source n (multiplexer item, or its capture switch on and the others off);
    // returns n, or -1 when n is out of range or nothing is done.
    int setInChannel(int n);
    int getAktChannelNum() const;
    QString getChannelName(int n) const;
    void clearNotifyVolmask() { notifyVolMask = 0; }
    void setNotifyVolmask(int n);
    // Source n's capture volume to v, every other source's to 0.
    void setInVolumeAT(int v, int n);
    // Capture volume of the selected source (0 when none).
    int getInVolume() const;

    // Playback element n (in the card's order of playback elements).
    void setOutVolume(int v, int n);
    void setOutMute(bool m, int n);
    // Master to v, tone controls flat, every source silenced, then the wave output full.
    void setOutMasterVolAT(int v);
    void setWaveOutfull();
    void setOutMasterVol(int v);
    int getOutMasterVol() const;

    // Key "MIXON" of section "MIX" (default off).
    void SaveToFile(TMemIniFile& ini) const;
    void Loadfromfile(const TMemIniFile& ini);

signals:
    void inputSelectionChanged(); // the recording source changed (here or elsewhere)
    void inputVolumeChanged();    // a watched source's capture volume changed

private:
    struct Source {             // one recording source
        snd_mixer_elem_t* elem; // its element
        QString name;           // element name
        long written = -1;      // capture volume this object last set (card units), -1 none
    };
    bool acting(bool needRecord, bool needPlay) const;
    void scanElements();
    void watchEvents();
    static int elemEvent(snd_mixer_elem_t* e, unsigned int mask);
    void onElemEvent(snd_mixer_elem_t* e);
    snd_mixer_elem_t* playElem(const char* name) const;

    snd_mixer_t* m_mixer = nullptr;        // the open mixer, or none
    bool FMixOn = false;                   // mixer control on ("MIXON")
    bool m_wantRecord = true;              // the recording side is wanted
    unsigned notifyVolMask = 0;            // sources whose volume changes are reported
    std::vector<Source> m_sources;         // recording sources
    snd_mixer_elem_t* m_mux = nullptr;     // enumerated capture element, or none
    std::vector<snd_mixer_elem_t*> m_play; // playback elements with a volume or switch
    std::vector<std::unique_ptr<QSocketNotifier>> m_notifiers; // ALSA's poll descriptors
};
