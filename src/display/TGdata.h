// The package in which a measurement hands its per-channel results to the diagram window.
#pragma once

#include "analysis/AnalysePara.h"
#include "dsp/Tsamplemem.h"

#include <QPointer>
#include <QStringList>
#include <memory>
#include <vector>

class QObject;

// Filled by a measurement, read by the diagram window (message 1053), returned with message
// 1052. One thread at a time: the measurement while Working is false, the window after.
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

    std::vector<Tsamplemem> asdDia;   // display values per channel
    std::vector<Tsamplemem> asdZ;     // second value set per channel (time signal)
    std::vector<Tsamplemem> asdPh;    // phase per channel, radians
    std::vector<Tsamplemem>& asdZz;   // alias of asdZ
    std::vector<enumYvalueTyp> eMode; // value kind per channel
    Tsamplemem sdX;                   // x values
    bool memalloced = false;          // per-channel buffers exist
    QStringList* ComStrList = nullptr; // comment lines, not owned
    cFFTdat* AnaFFT = nullptr;        // analysis settings, owned by the creator
    int32_t sfi = 44100;              // sample rate, Hz
    double timestamp = 0.0;           // when the data were taken, s
    bool Working = false;             // the window still uses the package
    bool xlinear = false;             // x values for a linear axis
    QPointer<QObject> MsgHandle;      // receives message 1052 when the package may be reused

private:
    void keepBuffers(std::vector<Tsamplemem>& list); // moves owned buffers to m_spare
    Tsamplemem takeBuffer(int32_t points, bool cleared); // a spare one, or a new one

    std::vector<Tsamplemem> m_spare; // released buffers awaiting reuse by makeAsd
};
