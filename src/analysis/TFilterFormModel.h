// The filter editor's model: a left and a right filter block being edited, the section budget,
// the control mappings and the combined response.
#pragma once

#include "dsp/tFilterBlock.h"

#include <complex>
#include <functional>
#include <vector>

// Edits copies of two filter blocks (side 0 left, 1 right). The owner copies its blocks in,
// reads dEQL/dEQR back on OK (with dLinkFromEQL the left block goes into both). Every filter
// of both copies uses the wide parameter limits and is designed at the owner's sample rate.
// Setters change the selected filter of a side and do not notify; the window decides when the
// owner hears of it (changed()). GUI thread only.
class TFilterFormModel {
public:
    static constexpr int kMaxBiquads = 20; // section budget of each side
    static constexpr int kQSteps = 4;      // quality track bar positions per unit of Q
    static constexpr int kTypes = 9;       // types offered by the editor: Flat .. Allpass

    TFilterFormModel(const tFilterBlock& left, const tFilterBlock& right, bool link, double fs);

    tFilterBlock dEQL, dEQR;              // the blocks being edited
    int dFilterNumL = 0, dFilterNumR = 0; // selected filter per side, 0..19
    int fBiquadsL = 0, fBiquadsR = 0;     // sections in use per side
    int NUM_BiQuadsL = kMaxBiquads;       // section limit, left
    int NUM_BiQuadsR = kMaxBiquads;       // section limit, right
    bool dLinkFromEQL = true;             // "Link Channels": right follows left
    std::function<void()> onChange;       // the owner's change notification

    double sampleRate() const { return m_fs; } // Hz
    tFilterBlock& block(int side) { return side == 1 ? dEQR : dEQL; }
    const tFilterBlock& block(int side) const { return side == 1 ? dEQR : dEQL; }
    int filterNum(int side) const { return side == 1 ? dFilterNumR : dFilterNumL; }
    TIIRObj& selected(int side) { return block(side).aEq[size_t(filterNum(side))]; }
    const TIIRObj& selected(int side) const { return block(side).aEq[size_t(filterNum(side))]; }

    void selectFilter(int side, int i); // out of range: nothing
    // The order is then made valid for the type; refused like setOrder when the filter's order
    // would exceed the side's section limit.
    bool setTyp(int side, int typ);
    // The order from the order list; refused (false, old order kept, the message "There are no
    // more biquads available!" shown) when the side would use more sections than its limit.
    bool setOrder(int side, int order);
    void setChar(int side, int c);
    void setFreq(int side, double hz);
    void setGain(int side, double dB);
    void setQ(int side, double q);
    void setBypassFilter(int side, bool on);
    void setBypassAll(int side, bool on);
    void clearFilter(int side); // the selected filter back to a Flat default
    void setLink(bool on) { dLinkFromEQL = on; }

    // Sections the side uses: (order + 1) / 2 per filter that is not Flat, after types other
    // than low-pass, high-pass, band-pass, band-stop and all-pass were set to order 2. Also
    // stores the count in fBiquadsL / fBiquadsR.
    int usedBiquads(int side);
    // Clears the side's filters, runs 10000 random samples in -1..1 through every filter that
    // is not Flat (none when the block is bypassed), clears them again; microseconds per sample.
    double calcTimePerSample_us(int side);
    // Fires onChange (when set).
    void changed() const;

    // Order list: index -> order (all-pass: index + 1, others (index + 1) * 2) and back.
    static int orderFromIndex(int typ, int index);
    static int indexFromOrder(int typ, int order);
    // Logarithmic frequency track bar over 1 .. fs/2 - 1 Hz with positions 0..maximum.
    static double freqFromPos(int pos, int maximum, double fs);
    static int posFromFreq(double hz, int maximum, double fs);

    // Complex response of a whole block at f (Hz): the product over the filters that run
    // (1 when the block is bypassed).
    std::complex<double> response(int side, double hz) const;

private:
    TIIRObj& prepare(int side); // the selected filter, switched to the wide limits
    static void refuse();       // "There are no more biquads available!"

    double m_fs; // design sample rate, Hz
};
