// The main window's presets: the "&Presets" menu with the recent files, the six slot buttons,
// executing and saving presets.
#include "app/ui/TMainForm.h"

#include "base/utils.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/ui/TChild3D.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

namespace {

const char* const kLoadFilter = "Setup File (*.atp);;All Files (*.*)";
const char* const kSaveFilter = "Setup File (*.atp)";
const char* const kEmptySlot = "Preset is empty ! Store the actual settings with <shift> + right mouse button.";
constexpr int kSlotCaptionChars = 14; // longest preset name a slot button shows

// The caption of a slot button: its number and the preset's name without ".atp".
QString slotCaption(const Tpreset& p)
{
    const QString name = QFileInfo(p.FFname).completeBaseName();
    const QString shown = name.size() > kSlotCaptionChars ? name.left(kSlotCaptionChars - 1) + u'\x2026' : name;
    return QString::number(p.Nummer) + (shown.isEmpty() ? QString() : "  " + shown);
}

} // namespace

// ---- building -----------------------------------------------------------------------------------

void TMainForm::loadPresetSlots()
{
    const QString data = vlCommonDataFolder();
    m_presetName = ClearedPresetName(data);
    for (int n = 1; n <= kPresetSlots; ++n) {
        Tpreset& p = m_presets[size_t(n - 1)];
        p.Nummer = n;
        p.LoadfromIni(m_ini, "MAIN", data);
    }
}

void TMainForm::buildPresetMenu()
{
    setPresetDropHandler([this](const QString& file) { return execPresetN(file) == pexDone; });
    m_presetsMenu = new QMenu("&Presets", this);
    m_presetsMenu->setObjectName("presetsMenu");
    m_presetsMenu->addAction("Load Preset", this, &TMainForm::LoadPresetClick);
    m_presetsMenu->addAction("Save Preset", this, [this] { SavePresetClick(); });
    m_presetsMenu->addSeparator();
    QAction* rec = m_presetsMenu->addAction(QString());
    rec->setObjectName("recentPreset");
    // Right after "&Edit", or last when the bar has no such menu.
    const QList<QAction*> bar = menuBar()->actions();
    const qsizetype edit = std::find_if(bar.begin(), bar.end(), [](QAction* a) { return a->text() == "&Edit"; }) - bar.begin();
    menuBar()->insertMenu(edit + 1 < bar.size() ? bar[edit + 1] : nullptr, m_presetsMenu);
    m_recent = std::make_unique<Trecent>(m_presetsMenu, rec, vlCommonDataFolder() + "PresetHist.ini",
                                         [this](const QString& name) { execPresetN(name); });
}

// A row of its own under the measurement buttons, so neither crowds the other.
void TMainForm::buildPresetSlots()
{
    addToolBarBreak(Qt::TopToolBarArea);
    auto* bar = new QToolBar("Presets", this);
    bar->setObjectName("presetSlots");
    bar->setMovable(false);
    bar->addWidget(new QLabel("  Presets ", bar));
    for (int n = 1; n <= kPresetSlots; ++n) {
        auto* b = new QToolButton(bar);
        b->setObjectName("presetSlot" + QString::number(n));
        b->setCheckable(true);
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(b, &QToolButton::clicked, this, [this, n] { presetSlotClicked(n, Qt::LeftButton, {}); });
        connect(b, &QWidget::customContextMenuRequested, this,
                [this, n] { presetSlotClicked(n, Qt::RightButton, QGuiApplication::keyboardModifiers()); });
        bar->addWidget(b);
        m_slotButtons[size_t(n - 1)] = b;
    }
    addToolBar(Qt::TopToolBarArea, bar);
    refreshPresetSlots();
}

// Captions and hints; the slot of the current preset shows pressed.
void TMainForm::refreshPresetSlots()
{
    for (int n = 1; n <= kPresetSlots; ++n) {
        QAbstractButton* b = m_slotButtons[size_t(n - 1)];
        if (!b) continue;
        const Tpreset& p = m_presets[size_t(n - 1)];
        QString file;
        const bool current = resolvePresetName(p.FFname, m_presetName, &file) == pexDone && file == m_presetName;
        b->setText(slotCaption(p));
        b->setToolTip(p.FaHint);
        b->setChecked(current);
    }
}

// ---- commands -----------------------------------------------------------------------------------

QString TMainForm::choosePresetFile(bool save)
{
    const QString title = save ? QStringLiteral("Saving Preset") : QStringLiteral("Loading Preset");
    if (m_choosePreset) return m_choosePreset(save, title, m_presetName);
    const QFileInfo start(m_presetName);
    QFileDialog dlg(this, title, start.absolutePath(), save ? kSaveFilter : kLoadFilter);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg.setDefaultSuffix("atp");
    if (!start.fileName().contains(u'*')) dlg.selectFile(start.fileName());
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().first();
}

void TMainForm::LoadPresetClick()
{
    const QString file = choosePresetFile(false);
    if (!file.isEmpty()) execPresetN(file);
}

QString TMainForm::SavePresetClick()
{
    const QString file = choosePresetFile(true);
    return !file.isEmpty() && savePreset(file) ? QFileInfo(file).absoluteFilePath() : QString();
}

void TMainForm::ClearPresets(int para)
{
    static_cast<void>(para);
    m_presetName = ClearedPresetName(vlCommonDataFolder());
    refreshPresetSlots();
}

void TMainForm::presetSlotClicked(int n, Qt::MouseButton button, Qt::KeyboardModifiers mods)
{
    if (n < 1 || n > kPresetSlots) return;
    Tpreset& p = m_presets[size_t(n - 1)];
    if (button == Qt::LeftButton) {
        if (p.FFname.isEmpty()) vl::infoBox(kEmptySlot);
        // The file name is looked for beside the current preset; a slot assigned from another
        // folder still finds its file by the full path it keeps in its hint.
        if (execPresetN(p.FFname) == pexMissing && p.FaHint != p.FFname) execPresetN(p.FaHint);
        refreshPresetSlots();
        return;
    }
    if (button != Qt::RightButton) return;
    const QString name = (mods & Qt::ShiftModifier) ? SavePresetClick() : choosePresetFile(false);
    if (name.isEmpty()) return; // cancelled: the slot stays as it was
    if (!p.assign(name)) p.FaHint.clear();
    refreshPresetSlots();
}

// ---- executing and saving -----------------------------------------------------------------------

int TMainForm::execPresetN(const QString& name)
{
    QString file;
    const ePresetExec found = resolvePresetName(name, m_presetName, &file);
    if (found != pexDone) return found;
    TMemIniFile preset;
    QString why;
    if (!readPresetFile(file, preset, &why)) {
        vl::errorBox("The preset " + file + " was not loaded: " + why + ".\r\nNothing was changed.");
        return pexUnreadable;
    }
    m_presetName = file;
    if (m_recent) m_recent->Add2RecentFileList(file);
    // The old measurement saves its settings and gives the generator back before the preset's
    // generator settings arrive; the new one is made while the preset is what is read.
    saveDiagramSettings();
    releaseFuncMM(measuringMode());
    loadPresetSettings(preset, file);
    m_presetIni = &preset;
    m_presetFile = file;
    setMeasuringModeF(presetMeasuringMode(preset));
    m_presetIni = nullptr;
    m_presetFile.clear();
    if (m_diafrm) m_diafrm->model().clearCurves();
    refreshCorrectionMenu();
    refreshModePanel();
    refreshPresetSlots();
    return pexDone;
}

// The main and generator settings as they are, with the preset's keys over them.
void TMainForm::loadPresetSettings(const TMemIniFile& preset, const QString& file)
{
    collectMainSettings();
    TMemIniFile merged;
    writeMainSection(merged);
    const bool generator = m_generatorLoaded && soundDLL().usable();
    if (generator) writeGeneratorSettings(merged);
    overlayIni(merged, preset);
    const TMainSettings kept = m_set;
    loadMainSettings(merged);
    // The module, its dialogs and the window's place belong to this computer, not to the setup.
    m_set.SoundDLLname = kept.SoundDLLname;
    m_set.IODlgLink = kept.IODlgLink;
    m_set.bFirstStart = kept.bFirstStart;
    m_set.left = kept.left;
    m_set.top = kept.top;
    m_set.moni = kept.moni;
    m_set.wstate = kept.wstate;
    m_set.MDiaInMWwidth = kept.MDiaInMWwidth;
    m_set.MDiaInMWheight = kept.MDiaInMWheight;
    m_set.cfgATPname = preset.ReadString("MAIN", "cfgATPname", file);
    if (generator) loadGeneratorSettings(merged);
    m_diafrm->model().textSep = m_set.textSep == ' ' ? QChar(u' ') : QChar::fromLatin1(m_set.textSep);
    m_diafrm->colSoundOn = m_set.COLSOUNDON;
    m_diafrm->colSoundOff = m_set.COLSOUNDOFF;
    m_diafrm->mainWindowColour = m_set.COLFORM;
    if (m_child3D) m_child3D->mainWindowColour = m_set.COLFORM;
    applyColours();
    onInState();
    onOutState();
}

bool TMainForm::savePreset(const QString& file)
{
    if (!writePresetFile(file)) return false;
    m_presetName = QFileInfo(file).absoluteFilePath();
    if (m_recent) m_recent->Add2RecentFileList(m_presetName);
    refreshModePanel();
    refreshPresetSlots();
    return true;
}

bool TMainForm::writePresetFile(const QString& file)
{
    collectMainSettings();
    TMemIniFile ini(file); // a file that was there is replaced as a whole
    ini.Clear();
    writeMainSection(ini);
    ini.WriteString("MAIN", "cfgATPname", QFileInfo(file).absoluteFilePath());
    if (m_generatorLoaded && soundDLL().usable()) writeGeneratorSettings(ini);
    QString why;
    if (!ini.UpdateFile(&why)) {
        vl::errorBox("Error writing Ini-File " + file + "\r\n" + why);
        return false;
    }
    // The measurement adds its own settings and its diagram's.
    if (m_meas) m_meas->saveToINI(file);
    return true;
}
