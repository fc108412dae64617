// Editing the two output filter blocks of the generator dialog, each change handed on at once.
#pragma once

#include "dsp/tFilterBlock.h"

#include <functional>

// The left and right output blocks being edited and the channel the edits go to. With `link`
// the right block follows the left one (edits go to the left block, both are published as it).
// Every change calls the publisher with the blocks as they now sound, so the output path plays
// the edited filters at once; cancel() hands on the blocks as they were at start. GUI thread.
class TOutFilterSelect {
public:
    // One editable parameter of a filter.
    enum eParam { fpType, fpFreq, fpGain, fpQ, fpOrder, fpBypassed };
    using Publisher = std::function<void(const tFilterBlock& left, const tFilterBlock& right)>;

    TOutFilterSelect(const tFilterBlock& left, const tFilterBlock& right, bool link, Publisher publish);

    // 0 left, 1 right (a linked pair always edits the left block).
    void setChannel(int ch) { m_channel = (ch == 1) ? 1 : 0; }
    int channel() const { return m_link ? 0 : m_channel; }
    void setLink(bool on);
    bool link() const { return m_link; }
    void setBlockBypass(bool on);
    // Sets one parameter of filter i (0..19) of the edited block; the filter is redesigned and
    // its value may be corrected (the order to one the type allows). Out-of-range i: nothing.
    void setParam(int i, eParam p, double value);
    double param(int i, eParam p) const;

    const tFilterBlock& block() const { return channel() == 0 ? m_left : m_right; }
    const tFilterBlock& left() const { return m_left; }
    const tFilterBlock& right() const { return m_right; }
    // Publishes the blocks as they were when editing began.
    void cancel();

private:
    tFilterBlock& edited() { return channel() == 0 ? m_left : m_right; }
    void publish();

    tFilterBlock m_left, m_right;         // the blocks being edited
    tFilterBlock m_origLeft, m_origRight; // as they were at start (for cancel)
    bool m_link;                          // right follows left
    bool m_origLink;                      // link flag at start
    int m_channel = 0;                    // chosen channel
    Publisher m_publish;                  // hands the blocks to the output path
};
