// Sample memory: the one buffer of sampled data and its whole-buffer operations.
#pragma once

#include "soundDLLTypes.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

class Tcorri;
class TIIRObj;
class tFilterBlock;

// A range or argument error inside Tsamplemem. Every method that checks an index raises it and
// catches it again itself, so it only reaches a caller from setSamples(n <= 0) and from the
// constructors; the text of the last absorbed one is kept in lastError().
class EsampleMemEx : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An MLS order the generator has no register for. Unlike EsampleMemEx it is meant for the
// caller, which shows what() ("Illegal Input Data") to the user.
class EsampleMemIllegalInput : public std::invalid_argument {
public:
    EsampleMemIllegalInput() : std::invalid_argument("Illegal Input Data") {}
};

// A heap buffer of 64-bit float samples (recorded blocks with full scale +-1.0, generated
// signals, spectra in dB, x axes in Hz) with the operations the measurements share.
//
// Ownership: a buffer either owns its samples (frees them, counts them in allocatedSamples())
// or is a view into memory owned elsewhere, which must outlive the view.
// Index ranges "von..bis" are inclusive. In dB data -192.0 marks a missing value.
// Sound modules see the object through view(): they read Fsamples and write at most that many
// doubles through Fsmpoi. The object is standard-layout and the view is its first member.
//
// Threads: an object is used by one thread at a time (any thread); allocatedSamples() and
// FastHamadard's shared tables are safe from every thread.
// Room for the linear powers of a conversion to plain levels (Tsamplemem::corriFastandLog):
// each element's square, except that a level of exactly 0 dB stands for no value (power 0)
// and a missing level (-192 dB) gets `missing`.
struct TLevelPowers {
    double* p = nullptr;   // one per element
    double missing = 0.0;  // the power of a missing level
};

class Tsamplemem {
public:
    // Empty buffer: no samples, owns nothing.
    Tsamplemem() = default;
    // `size` zeroed samples, owned; Tag and Align 0. Throws EsampleMemEx for size < 0.
    explicit Tsamplemem(int32_t size);
    // Deep copy of samples, Tag and Align; the copy always owns its samples.
    Tsamplemem(const Tsamplemem& other);
    Tsamplemem(Tsamplemem&& other) noexcept;
    Tsamplemem& operator=(const Tsamplemem& other);
    Tsamplemem& operator=(Tsamplemem&& other) noexcept;
    ~Tsamplemem();

    // A view without memory: Fsmpoi null, Fsamples = sizem; give it memory with setSmpoi().
    static Tsamplemem createWMem(int32_t sizem);
    // `size` owned samples whose values are undefined, for a caller that writes them all
    // before reading. Throws EsampleMemEx for size < 0.
    static Tsamplemem uncleared(int32_t size);
    // `Size` owned samples copied from `src` starting at `Ind`; positions that fall outside
    // `src` are 0. Tag and Align are copied.
    static Tsamplemem copyPart(const Tsamplemem& src, int32_t Ind, int32_t Size);
    // Frequency axis of a spectrum in Hz: element i = i / (FFTsize div 2) * (SF div 2) for
    // i >= begIdx; elements below begIdx are 0.
    static Tsamplemem constructXaxis(int32_t size, int32_t FFTsize, int32_t begIdx, int32_t SF);
    // An empty buffer; the file is not read (callers load into it afterwards).
    static Tsamplemem load(const std::string& Fname);

    // What crosses the sound-module boundary.
    TsmView* view() { return d(), &m_view; }
    // The samples, for writing too (it drops the content stamp, see seal()).
    double* smpoi() { return d(); }
    const double* smpoi() const { return m_view.Fsmpoi; }
    int32_t samples() const { return m_view.Fsamples; }
    // Content stamps. seal() marks the owned samples as fixed until they are next written: a
    // copy takes the stamp along, and assigning a copy of the same stamp again costs nothing
    // (displays are given the same axes frame after frame). Every writing access drops the
    // stamp: the non-const smpoi(), view(), getsmpoiAP() and every changing method. Whoever
    // seals promises that no pointer to the samples obtained before is written through after.
    // Views are never sealed: their memory is written by its owner.
    // A copy of sealed samples shares them until either side writes: then the writer gets
    // samples of its own (copied, unless it was the last to hold them).
    void seal();
    bool shared() const; // the samples are shared with another object
    // The stamp itself: equal non-zero stamps of owned samples of one count mean equal samples.
    uint64_t stamp() const { return m_owns ? m_stamp : 0; }
    // Whether every sample is +0.0: known without reading after a zeroed allocation, a copy of
    // one, or a first answer of true (kept until the samples are next written).
    bool isAllZero() const;
    // Resizes: n equal to the count does nothing; n <= 0 throws EsampleMemEx; an owning buffer
    // or a growing view gets n new samples (old values kept, the rest 0) and owns them; a
    // shrinking view just changes its count.
    void setSamples(int32_t n);
    // Points the object at memory owned elsewhere (keeping the count); an owned buffer is freed
    // first, so the object becomes a view.
    void setSmpoi(double* p);
    bool memIsAlloc() const { return m_owns; }
    int32_t tag() const { return m_tag; }
    void setTag(int32_t t) { m_tag = t; }
    // 0 = interleaved left/right pairs, 1 = all left samples then all right samples.
    int32_t align() const { return m_align; }
    void setAlign(int32_t a) { m_align = a; }
    // Message of the last range error this object absorbed (empty when none).
    const std::string& lastError() const { return m_lastError; }
    // Total samples in buffers currently owned by all Tsamplemem objects (shown as "GM %d").
    static int64_t allocatedSamples() { return s_allocated.load(std::memory_order_relaxed); }

    // Element access; outside 0..samples-1 reads give 0 / null and writes are ignored.
    double getsmAr(int32_t idx) const;
    void setsmAr(int32_t idx, double tr);
    double* getsmpoiAP(int32_t idx);
    const double* getsmpoiAP(int32_t idx) const;

    // Size changes (see the class comment for views). Results as documented per method.
    int32_t resize2(int32_t anz);             // keeps values, pads with 0; 0 for anz <= 0
    int32_t resize(int32_t von, int32_t bis); // keeps von..bis; new count, 0 on bad range
    int32_t cutFront(int32_t bis);            // drops 0..bis-1 when bis < count-1
    // Replaces sdL by 0..at-1 and sdR by at..count-1 (copies, or views into this buffer when
    // bMemAllo is false). Returns at, or 0 (nothing changed) for at outside 0..count-1.
    int32_t Split(Tsamplemem& sdL, Tsamplemem& sdR, int32_t at, bool bMemAllo);

    // Bulk copy and fill.
    int32_t copyfrom(const Tsamplemem& csm);
    int32_t copyfromInd(int32_t ind, const Tsamplemem& csm);
    int32_t move(const double* SDsource, int32_t abind, int32_t size);
    int32_t moveto(int32_t Indsource, int32_t IndDest);
    void fill(int32_t von, int32_t bis, double mit);
    void fillComplete(double mit);
    void add(const Tsamplemem& sdL);

    // Arithmetic on every element.
    void invertDats();
    void calcDats(double Fak, double offs); // x -> offs + Fak*x
    void calcConst_sd(double offs);         // x -> offs - x
    void calcConst_rt(double offs);         // x -> x - offs
    void logar(double fak, double ofs);     // x -> ofs + fak*20*log10(x); x <= 0 kept
    void Mirror();
    void differenz(); // forward difference, last element 0
    void doAlles(double MultiL);
    int32_t Phase2GDms(const Tsamplemem& sdx); // phase (rad) over sdx (Hz) -> delay (ms)
    // *this = src followed by calcDats(Fak, offs), in one pass over the samples.
    void assignScaled(const Tsamplemem& src, double Fak, double offs);

    // Statistics.
    int32_t getmaxIndex() const;
    double getmaxVal() const;
    double getmaxVal_vb(int32_t von, int32_t bis) const;
    int32_t getmaxIndexGT(double val) const;
    int32_t getPeak(double level) const;
    double getRMStdLevel(int32_t von, int32_t bis) const; // RMS about the mean of von..bis
    double getARMtdLevel(int32_t von, int32_t bis) const; // mean |x - mean| of von..bis
    // Impulse length detection on a linear trigger level; sf in Hz, Llen_ms in ms, bidx/eidx
    // the first index of the impulse and the index where it ended. The result is always 0.
    int32_t getmaxValIPSlength(double triggLevLin, double sf, double& Llen_ms) const;
    int32_t getmaxValIPSlengthIO(double triggLevLin, double sf, double& Llen_ms, int32_t& bidx,
                                 int32_t& eidx) const;
    void checkOver(double overVal, int32_t& Fover) const;
    void checkOverLRLR(double overVal, int32_t& FoverL, int32_t& FoverR) const;
    std::string makeStr(int32_t von, int32_t bis) const;

    // Stereo buffers.
    int32_t Setalign(int32_t LL_RR);
    int32_t conv2mono();
    void doAllesLRLR(bool DCoffAuto, double DCoffL, double DCoffR, double MultiL, double MultiR,
                     bool chch);

    // Sorting and duplicates; companions move along with the same permutation.
    void sort(Tsamplemem* sek1, Tsamplemem* sek2);
    void sortCH(std::span<Tsamplemem* const> companions);
    void remDouble();
    int32_t remDouble2(Tsamplemem* sek1, Tsamplemem* sek2);

    // Spectra in dB over a linear index axis.
    void smoothOktFD(int32_t mode);
    int32_t octave13FD(const Tsamplemem& xa);
    // Magnitudes of a spectrum to dB: x[i] -> Offs + Fak*20*log10(x[i]) passed through `cor`
    // (may be null: no correction) at the bin frequency (sf/2)*i/(fftp/2) Hz, for
    // i = 0 .. round(fftp/2)-1 as far as the buffer reaches. A 0, or a value without a
    // logarithm, becomes the missing value -192.
    void corri(const Tcorri* cor, int32_t fftp, double sf, double Offs, double Fak);
    // The same for the round(fftp/2) elements from Ind; the frequency follows the index itself.
    void corriInd(const Tcorri* cor, int32_t Ind, int32_t fftp, double sf, double Offs, double Fak);
    // Every element, at the frequency Xax[i] (Hz). With `log`: 0, a missing logarithm or a
    // null `cor` give -192, else Offs + Fak*20*log10(x), corrected when Xax is given. Without
    // `log`: x -> Offs + Fak*x, corrected when both Xax and cor are given. With `powers` and
    // plain levels (log, Fak 1, Offs 0, no correction) the elements' powers are written there
    // as TLevelPowers says and true is returned.
    bool corriFastandLog(double Fak, double Offs, const Tsamplemem* Xax, bool log, const Tcorri* cor,
                         const TLevelPowers* powers = nullptr);

    // Maximum-length sequence of order fhSize (2..16, else EsampleMemIllegalInput) at
    // level_dB (dBFS): 2^fhSize values of +-1 scaled, then zeros. Needs 2*2^fhSize samples.
    int32_t fillwithMLS(int32_t fhSize, double level_dB);
    // Turns one recorded period (2^MLSSIZE - 1 samples from ind) of the sequence above into
    // the impulse response, written backwards: h[j] lands at ind + L - j for j = 0..L-1 and
    // h[0] again at ind (the response of one period wraps).
    // Needs ind + 2^MLSSIZE samples; orders 2..24. Any thread.
    int32_t FastHamadard(int32_t MLSSIZE, int32_t ind);

    // Files (UTF-8 names). Text files use "." and CR LF; the save operations return 0, or 1
    // on failure. The loads replace the buffer only when exactly `sampl` values were read.
    int32_t save2file(const std::string& Fname) const;
    int32_t save2filepX(const std::string& Fname, const Tsamplemem& Xaxis) const;
    bool loadFromFile(const std::string& Fname, int32_t sampl);
    bool loadFromFilepX(const std::string& Fname, int32_t sampl, Tsamplemem& Xaxis);
    int32_t writeTo16bitPCMFile(const std::string& Fname) const;
    // The first 512 values as one diagnostic text for the caller to show.
    std::string tohdebug() const;

    // Time-domain filtering in place at sample rate `sr` (Hz). The filters keep their state
    // between calls (ClearData for a fresh start), so a signal filtered in pieces gives the same
    // result as in one piece. Each sets the design sample rate of the filters it runs to sr
    // (redesigning those designed for another rate).
    // Every sample through every non-Flat filter of `block`; nothing when it is bypassed.
    void timeDomainFilterEQ(double sr, tFilterBlock& block);
    // The same after tuning every filter of `block` to `freq` Hz and clearing its state.
    void timeDomainFilterTrackEQ(double sr, tFilterBlock& block, double freq);
    // Interleaved pairs: even indices through `left`, odd ones through `right`.
    void timeDomainFilterEQRL(double sr, tFilterBlock& left, tFilterBlock& right);
    // Every sample through the one filter.
    void timeDomainFilterSingleF(double sr, TIIRObj& filter);
    // FM demodulation about the carrier TraegerF (Hz) at sample rate SF (Hz); Mode is unused.
    // Its four low-pass filters start from rest on every call, so calls are independent. Even
    // elements become the demodulated value; finally x -> 6.8*x - mean. Returns the count.
    int32_t FM_Demodulation(int32_t Mode, double TraegerF, double SF);

private:
    int32_t n() const { return m_view.Fsmpoi ? m_view.Fsamples : 0; } // readable samples
    double* d() // for writing: drops the stamp and any share
    {
        if (m_block)
            unshare();
        m_stamp = 0;
        return m_view.Fsmpoi;
    }
    const double* d() const { return m_view.Fsmpoi; }
    struct TBlock;
    bool shareable() const;
    void shareFrom(const Tsamplemem& other);
    void unshare();
    void release();
    void adopt(double* p, int32_t count);
    void recordError(const EsampleMemEx& e) const;
    double rangeSpread(int32_t von, int32_t bis, bool squared) const;
    void sortWith(std::span<Tsamplemem* const> companions);

    TsmView m_view{nullptr, 0};      // samples and count, as sound modules see them
    int32_t m_tag = 0;               // free tag for the owner, copied with the samples
    int32_t m_align = 0;             // channel layout of a stereo buffer (0 pairs, 1 blocks)
    bool m_owns = false;             // true when m_view.Fsmpoi is ours to free
    mutable uint64_t m_stamp = 0;    // content stamp: 0 none, kZeroStamp all +0.0, else seal()
    mutable TBlock* m_block = nullptr; // owners of shared sealed samples (made on first share)
    mutable std::string m_lastError; // text of the last absorbed EsampleMemEx
    static inline std::atomic<int64_t> s_allocated{0}; // samples in all owned buffers
};
