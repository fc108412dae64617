// The main window's filter editors: the input time-domain filter and the generator's output filter.
#include "app/ui/TMainForm.h"

#include "core/soundDLLImpDyn.h"
#include "display/ui/TDiagrammView.h"
#include "display/ui/TFilterForm.h"
#include "display/ui/Tdiafrm.h"

double TMainForm::inputFilterRate() {
    TsoundDLLImpDyn& dll = soundDLL();
    const int rate = dll.usable() ? dll.inSampleRate() : 0;
    return rate > 0 ? double(rate) : TIIRObj::kDefaultDesignSampleRate;
}

bool TMainForm::runFilterForm(
    const QString& title, tFilterBlock& l, tFilterBlock& r, bool& link, double fs,
    const std::function<void(const tFilterBlock&, const tFilterBlock&)>& apply) {
    // The response curves take the colours of the diagram's left and right curves.
    unsigned colours[2] = {0x0000FF, 0xFF0000};
    if (const TDiagrammView* v = m_diafrm ? m_diafrm->mainView() : nullptr)
        for (int c = 0; c < 2; ++c)
            colours[c] = v->dia().curve(c)->FColLine;
    TFilterForm form(title, l, r, link, fs, colours[0], colours[1], this);
    TFilterFormModel& m = form.model();
    m.onChange = [&m, &apply] { apply(m.dEQL, m.dLinkFromEQL ? m.dEQL : m.dEQR); };
    if ((m_runFilterForm ? m_runFilterForm(form) : form.exec()) != QDialog::Accepted) {
        apply(l, link ? l : r);
        return false;
    }
    l = m.dEQL;
    r = m.dEQR;
    link = m.dLinkFromEQL;
    return true;
}

void TMainForm::openInputFilterEditor() {
    tFilterBlock l = m_filterBlocks.inpLeft, r = m_filterBlocks.inpRight;
    bool link = m_filterBlocks.linkInFromEQL;
    // The measurement filters its blocks with the input blocks on this thread: a change takes
    // effect with the next block, the filters' state starting afresh.
    auto apply = [this](const tFilterBlock& a, const tFilterBlock& b) {
        m_filterBlocks.inpLeft = a;
        m_filterBlocks.inpRight = b;
        m_filterBlocks.inpLeft.ClearData();
        m_filterBlocks.inpRight.ClearData();
    };
    if (!runFilterForm("Time Domain Input-Filter select", l, r, link, inputFilterRate(), apply))
        return;
    m_filterBlocks.linkInFromEQL = link;
    m_filterBlocks.acceptInput(l, r);
    m_filterBlocks.inpLeft.ClearData();
    m_filterBlocks.inpRight.ClearData();
}
