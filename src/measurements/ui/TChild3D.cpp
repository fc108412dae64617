// The 3D window: pushing slices, the settings and view records, its INI keys.
#include "measurements/ui/TChild3D.h"

#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "display/TGdata.h"
#include "display/ui/T3DView.h"
#include "display/ui/TDia3dDlgF.h"
#include "display/ui/TDiagrammView.h"
#include "display/ui/Tview3dset.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

TChild3D::TChild3D(QWidget* parent) : QWidget(parent)
{
    setObjectName("TCHILD3D");
    setWindowTitle("3D");
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    m_split = new QSplitter(Qt::Vertical, this);
    m_split->setHandleWidth(6);
    diagrammZ = new TDiagrammView(m_split);
    view3D = new T3DView(diagr3D, m_split);
    m_split->addWidget(diagrammZ);
    m_split->addWidget(view3D);
    col->addWidget(m_split);
    connect(m_split, &QSplitter::splitterMoved, this, [this] {
        const QList<int> s = m_split->sizes();
        if (s.size() == 2 && s[0] + s[1] > 0)
            splitratio = double(s[0]) / (s[0] + s[1]);
    });
    viewTool = new Tview3dset(this);
    viewTool->onView = [this](const T3dViewRec& r) { setDlgValsS(r); };
    diagr3D.OnRightMouseButClick = [this](int, int) { openSettings(); };
    diagr3D.logoText = "Velmora ";
    connect(diagrammZ, &TDiagrammView::leftClicked, this, [this](QPoint g) { timeDiagramClicked(g); });
    connect(diagrammZ, &TDiagrammView::rightClicked, this, [this] { openTimeColours(); });
    setupTimeDiagram();
    switch3D();
}

TChild3D::~TChild3D() { viewTool->hide(); }

// The time diagram holds curve 0 only: the block of the last slice, in full-scale units over ms.
void TChild3D::setupTimeDiagram()
{
    TDiagramm& d = diagrammZ->dia();
    d.setinterpol(false);
    d.setsaveOfirst(true);
    d.clearDiaData();
    d.setxSkalalog(false);
    d.setxEinheit("ms");
    d.setxSkalFaktor(1.0);
    d.setX_minX_Max(1500.0, 0.0);
    for (int32_t g = 0; g < kDiaCurves; ++g) {
        d.group(g)->fEinh = "FS";
        d.group(g)->Fymax = 1.0;
        d.group(g)->Fymin = -1.0;
    }
    d.setFreq_m(false);
    d.setCrossHair(false);
    d.setRangeLines(true);
    for (int32_t s = 1; s < kDiaCurves; ++s)
        d.curve(s)->Fcvis = false;
    d.setDia2Up(true);
}

void TChild3D::switch3D()
{
    const int h = std::max(height(), 2);
    const int top = std::clamp(int(splitratio * h), 0, h);
    m_split->setSizes({top, h - top});
    diagr3D.setZdiareverse(!zreverse);
    diagr3D.setZttreverse(false);
    view3D->repaintDia();
}

void TChild3D::resizeEvent(QResizeEvent*)
{
    const int h = std::max(m_split->height(), 2);
    const int top = std::clamp(int(splitratio * h), 0, h);
    m_split->setSizes({top, h - top});
}

int32_t TChild3D::setFFTpoints(int32_t fftp)
{
    FFTpoints = fftp;
    diagr3D.setxSteps(std::max(fftp / 2, 1));
    return diagr3D.xSteps();
}

void TChild3D::Clear3DDia()
{
    diagr3D.ClearDats();
    view3D->repaintDia();
}

void TChild3D::show3D(bool on)
{
    if (onShow3D)
        onShow3D(on);
    else
        setVisible(on);
    if (on) {
        viewTool->setViews(m_views);
        PaintNew3D();
    } else {
        viewTool->hide();
    }
}

void TChild3D::PaintNew3D() { view3D->repaintDia(); }

QImage TChild3D::diagramImage()
{
    PaintNew3D();
    return diagr3D.getBitmap();
}

void TChild3D::EditCut() { QGuiApplication::clipboard()->setImage(diagramImage()); }

void TChild3D::PushDatas(const Tsamplemem* sd3D, const Tsamplemem* sdZ, double TimeStamp, int32_t fftp, int32_t sfi)
{
    if (sd3D && sd3D->samples() > 0) {
        diagr3D.setReferenceEachBand(true); // a live series: every band is measured anew
        diagr3D.pushSpectrum(std::span<const double>(sd3D->smpoi(), size_t(sd3D->samples())), TimeStamp, fftp, sfi);
        PaintNew3D();
    }
    if (sdZ && sdZ->samples() > 0 && sfi > 0) {
        if (m_timeAxis.samples() != sdZ->samples() || m_timeAxisRate != sfi) { // ms of every sample
            m_timeAxis = Tsamplemem(sdZ->samples());
            for (int32_t k = 0; k < sdZ->samples(); ++k)
                m_timeAxis.smpoi()[k] = k * 1000.0 / sfi;
            m_timeAxis.seal(); // the curve's copy of it is then not compared every slice
            m_timeAxisRate = sfi;
        }
        diagrammZ->dia().SetdataPointer(*sdZ, m_timeAxis, true, 0);
        diagrammZ->update();
    }
}

void TChild3D::pushPackage(const TGdata& g)
{
    if (g.asdDia.empty() || !g.AnaFFT)
        return;
    const size_t ch = audioRight && g.asdDia.size() > 1 ? 1 : 0;
    const Tsamplemem* z = ch < g.asdZ.size() ? &g.asdZ[ch] : nullptr;
    PushDatas(&g.asdDia[ch], z, g.timestamp * 1000.0, g.AnaFFT->SamplesFFT, g.sfi);
}

T3dSettingsRec TChild3D::dlgRecord() const
{
    T3dSettingsRec r;
    r.LF = diagr3D.Flaeche();
    r.FDfilter = diagr3D.DFilter();
    r.Zbands = diagr3D.Zbands();
    r.xmin = diagr3D.Xmin();
    r.xmax = diagr3D.Xmax();
    r.ymin = diagr3D.Ymin();
    r.ymax = diagr3D.Ymax();
    r.YmaxAuto = diagr3D.YmaxAuto();
    r.zreverse = zreverse;
    r.xlog = diagr3D.Xlog();
    r.BackCol = diagr3D.FBackCol;
    r.gridCol = diagr3D.FgridCol;
    r.LineCol = diagr3D.FLineCol;
    r.FFlaeCol = diagr3D.FFlaeCol;
    r.TextCol = diagr3D.FTextCol;
    r.DiaBGCol = diagr3D.FDiaBGCol;
    r.YaxisMode = diagr3D.YaxisMode();
    r.AudioRight = audioRight;
    r.OpenGldesi = OpenGldesi;
    r.makeOpenGL = makeOpenGL;
    return r;
}

void TChild3D::setDlgVals(const T3dSettingsRec& td)
{
    zreverse = td.zreverse;
    diagr3D.setXmin(td.xmin);
    diagr3D.setXmax(td.xmax);
    diagr3D.setYmin(td.ymin);
    diagr3D.setYmax(td.ymax);
    diagr3D.setXlog(td.xlog);
    diagr3D.setFlaeche(td.LF);
    diagr3D.setZbands(td.Zbands);
    diagr3D.setYmaxAuto(td.YmaxAuto);
    diagr3D.setDFilter(td.FDfilter);
    diagr3D.FBackCol = td.BackCol;
    diagr3D.FgridCol = td.gridCol;
    diagr3D.FLineCol = td.LineCol;
    diagr3D.FFlaeCol = td.FFlaeCol;
    diagr3D.FTextCol = td.TextCol;
    diagr3D.FDiaBGCol = td.DiaBGCol;
    diagr3D.setYaxisMode(td.YaxisMode);
    audioRight = td.AudioRight;
    makeOpenGL = td.makeOpenGL && OpenGldesi;
    switch3D();
}

void TChild3D::setDlgValsS(const T3dViewRec& tds)
{
    m_views = tds;
    diagr3D.VIEWPOINT_2D(tds.zflu, tds.yflu, tds.xflu, tds.zbe, tds.ybe, tds.xbe);
    PaintNew3D();
}

void TChild3D::openSettings()
{
    int result = 0;
    do {
        TDia3dDlgF dlg(dlgRecord(), OpenGldesi, this);
        dlg.onApply = [this](const T3dSettingsRec& r) { setDlgVals(r); };
        result = runDialog ? runDialog(dlg) : dlg.exec();
        if (result == 1)
            setDlgVals(dlg.record());
    } while (result == TDia3dDlgF::kApply);
}

// ---- settings ---------------------------------------------------------------------------------

void TChild3D::LoadDia(const QString& Fname, const QString& Topic) { loadDia(TMemIniFile(Fname), Topic); }

bool TChild3D::SaveDia(const QString& Fname, const QString& Topic) const
{
    TMemIniFile ini(Fname);
    saveDia(ini, Topic);
    QString error;
    if (ini.UpdateFile(&error))
        return true;
    vl::errorBox("Error writing Ini-File " + Fname + "\r\n" + error);
    return false;
}

void TChild3D::loadDia(const TMemIniFile& ini, const QString& topic)
{
    m_loaded = true;
    OpenGldesi = ini.ReadBool(topic, "OpenGLdesi", false);
    makeOpenGL = ini.ReadBool(topic, "makeOpenGL", false) && OpenGldesi;
    T3dViewRec v;
    v.d1xbe = ini.ReadFloat(topic, "x1bet", 5);
    v.d1ybe = ini.ReadFloat(topic, "y1bet", 16);
    v.d1zbe = ini.ReadFloat(topic, "z1bet", 17.1);
    v.d1xflu = ini.ReadFloat(topic, "x1flu", 0.47);
    v.d1yflu = ini.ReadFloat(topic, "y1flu", -0.12);
    v.d1zflu = ini.ReadFloat(topic, "z1flu", 0);
    v.d2xbe = ini.ReadFloat(topic, "x2bet", 4);
    v.d2ybe = ini.ReadFloat(topic, "y2bet", 16);
    v.d2zbe = ini.ReadFloat(topic, "z2bet", 18);
    v.d2xflu = ini.ReadFloat(topic, "x2flu", 0.4);
    v.d2yflu = ini.ReadFloat(topic, "y2flu", 0);
    v.d2zflu = ini.ReadFloat(topic, "z2flu", 0);
    splitratio = std::clamp(ini.ReadFloat(topic, "splitratio", 0.25), 0.0, 1.0);
    const int fp = ini.ReadInteger(topic, "FFTpoints", 1024);
    FFTpoints = fp >= 128 && fp <= 65536 ? fp : 1024;
    FFTwin = ini.ReadInteger(topic, "FFTwin", 0);
    tstep = ini.ReadFloat(topic, "tStep", 1000.0 / 44100.0);
    tfrom = ini.ReadFloat(topic, "tFrom", 0);
    zreverse = ini.ReadBool(topic, "zreverse", false);
    tfromAuto = ini.ReadBool(topic, "tFromAuto", true);
    diagr3D.mainWindowColour = mainWindowColour;
    diagr3D.LoadFromIni(ini, topic);
    v.xflu = diagr3D.XFLU();
    v.yflu = diagr3D.YFLU();
    v.zflu = diagr3D.ZFLU();
    v.xbe = diagr3D.XBET();
    v.ybe = diagr3D.YBET();
    v.zbe = diagr3D.ZBET();
    m_views = v;
    viewTool->setViews(v);
    diagrammZ->dia().LoadfromIni(ini, topic + "Z", tdiaset{false, false, false, 0.25, 0, 1500, 1, 1, -1, -1, "", "ms"});
    setupTimeDiagram();
    switch3D();
}

void TChild3D::saveDia(TMemIniFile& ini, const QString& topic) const
{
    ini.WriteBool(topic, "makeOpenGL", makeOpenGL);
    const T3dViewRec& v = m_views;
    const std::pair<const char*, double> views[12] = {
        {"x1bet", v.d1xbe}, {"y1bet", v.d1ybe}, {"z1bet", v.d1zbe}, {"x1flu", v.d1xflu}, {"y1flu", v.d1yflu},
        {"z1flu", v.d1zflu}, {"x2bet", v.d2xbe}, {"y2bet", v.d2ybe}, {"z2bet", v.d2zbe}, {"x2flu", v.d2xflu},
        {"y2flu", v.d2yflu}, {"z2flu", v.d2zflu}};
    for (const auto& [key, value] : views)
        ini.WriteFloat(topic, key, value);
    ini.WriteFloat(topic, "splitratio", splitratio);
    ini.WriteInteger(topic, "FFTpoints", FFTpoints);
    ini.WriteInteger(topic, "FFTwin", FFTwin);
    ini.WriteInteger(topic, "width", width());
    ini.WriteInteger(topic, "height", height());
    ini.WriteFloat(topic, "tStep", tstep);
    ini.WriteFloat(topic, "tFrom", tfrom);
    ini.WriteBool(topic, "tFromAuto", tfromAuto);
    ini.WriteBool(topic, "zreverse", zreverse);
    const TDiagramm& z = diagrammZ->dia();
    ini.WriteInteger(topic, "Color_Diagram", int(z.Color_Diagram()));
    ini.WriteInteger(topic, "Color_Grid", int(z.Color_Grid()));
    ini.WriteInteger(topic, "Color_Margin", int(z.Color_Margin()));
    ini.WriteInteger(topic, "aline_FColline", int(z.curve(0)->FColLine));
    ini.WriteInteger(topic, "Color_RangeL", int(z.Color_RangeL()));
    ini.WriteInteger(topic, "Color_ExtraL", int(z.Color_ExtraL()));
    diagr3D.SavetoIni(ini, topic);
    z.SavetoIni(ini, topic + "Z");
}
