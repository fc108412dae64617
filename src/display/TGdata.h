// The package in which a measurement hands its per-channel results to the diagram window.
#pragma once

#include "analysis/AnalysePara.h"
#include "dsp/Tsamplemem.h"

#include <QPointer>
#include <QStringList>
#include <memory>
#include <vector>

class QObject;

// Filled by a measurement, handed to the diagram window shared (message 1053, see
// diaMessages.h), returned with message 1052. The measurement keeps it and the message shares
// it, so a package still on its way when its measurement ends stays readable; the measurement
// withdraws it then and the window drops it. GUI thread only: the measurement fills it while
// Working is false, the window reads it after.
class TGdata {
public:
    // A package of the measurement whose spectrum settings are `ana` (owned by the creator).
    explicit TGdata(cFFTdat* ana);
    ~TGdata();
    TGdata(const TGdata&) = delete;
    TGdata& operator=(const TGdata&) = delete;

    // `channels` channels (0 or more), each with a zeroed display buffer of `points` samples
    // (Tag and Align 0); the second value set and the phase get buffers of the same size.
    // Buffers of that size left by the last ReleaseGMem (or this package's current ones) are
    // cleared and reused; the rest of them are freed. Without `cleared` a reused buffer keeps
    // what it held and a new one is not cleared either (for a caller that writes every sample
    // it reads).
    void makeAsd(int32_t channels, int32_t points, bool cleared = true);
    // Deep copy of every buffer (asdZz refers to the copied asdZ) and the plain fields.
    void copy(const TGdata& src);
    // Empties the per-channel buffer lists. Their memory is kept for the next makeAsd (a pass
    // of the same size then allocates nothing) and freed by it or by the destructor.
    void ReleaseGMem();
    // The measurement gives the package up while the window may still hold it: the window
    // drops it unread, and it no longer refers to the settings, whose averaging memory the
    // measurement frees itself (a package that outlives its measurement must not take the
    // averaging memory of the next one along when it goes).
    void withdraw();

    std::vector<Tsamplemem> asdDia;   // display values per channel
    std::vector<Tsamplemem> asdZ;     // second value set per channel (time signal)
    std::vector<Tsamplemem> asdPh;    // phase per channel, radians
    std::vector<Tsamplemem>& asdZz;   // alias of asdZ
    std::vector<enumYvalueTyp> eMode; // value kind per channel
    Tsamplemem sdX;                   // x values
    bool memalloced = false;          // per-channel buffers exist
    QStringList ComStrList;           // comment lines (the window empties them once shown)
    cFFTdat* AnaFFT = nullptr;        // analysis settings, owned by the creator (null: withdrawn)
    int32_t sfi = 44100;              // sample rate, Hz
    double timestamp = 0.0;           // when the data were taken, s
    bool Working = false;             // the window still uses the package
    bool xlinear = false;             // x values for a linear axis
    bool Withdrawn = false;           // its measurement ended: not to be drawn
    QPointer<QObject> MsgHandle;      // receives message 1052 when the package may be reused

private:
    void keepBuffers(std::vector<Tsamplemem>& list); // moves owned buffers to m_spare
    Tsamplemem takeBuffer(int32_t points, bool cleared); // a spare one, or a new one

    std::vector<Tsamplemem> m_spare; // released buffers awaiting reuse by makeAsd
};
