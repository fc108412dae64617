// Main window, complete: every menu item acts or says why not; the picture export with its
// metadata (checked by exiftool), the printed page (rendered back from the PDF), the help pages
// and their links, the Miscellaneous dialog, and the items of the analysis and correction menus.
#include "analysis/TCorrectionSet.h"
#include "app/TDiagramPicture.h"
#include "app/ui/THelpWindow.h"
#include "app/ui/TMainForm.h"
#include "app/ui/TMiscDlg.h"
#include "base/vlHelp.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "core/ui/TSoundODlgF.h"
#include "core/ui/TSelSoundDLL.h"
#include "core/ui/TFWaveSynthesis.h"
#include "display/TDiagramm.h"
#include "display/ui/TCrvdia.h"
#include "display/ui/TFoToolAnalyzeCurve.h"
#include "display/ui/Tdiadlg.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/MeasurementClass.h"
#include "measurements/TFFT2ddiaModel.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QProcess>
#include <QStandardPaths>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QCheckBox>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <gtest/gtest.h>

#include <set>

namespace {

struct Recorder : vl::IMessageService {
    QStringList texts; // every message shown
    int show(const vl::Message& m) override
    {
        texts << m.text;
        return m.defaultButton;
    }
};

// QObject::receivers is protected; a pointer to it named through a derived class may be used on
// any object.
struct ReceiverPeek : QObject {
    static int count(const QObject* o, const char* signal) { return (o->*(&ReceiverPeek::receivers))(signal); }
};

template <class F>
bool runUntil(F done, int timeout_ms = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeout_ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// Runs a program; its standard output (and error) text, or empty when it could not run.
QString run(const QString& program, const QStringList& args, int* exitCode = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000)) return {};
    if (exitCode) *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAll());
}

// Where the pictures of the window's parts go when VELMORA_TEST_PICS names a folder.
void keepPicture(const QImage& img, const char* name)
{
    const QString dir = qEnvironmentVariable("VELMORA_TEST_PICS");
    if (!dir.isEmpty()) img.save(QDir(dir).filePath(name));
}

class MainFormMenus : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_TMainFormMenus";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
    }
    void SetUp() override
    {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        write("SoundSim.ini", "[Device]\nPacing=fast\nBlockFrames=4096\n[Model]\nKind=amplifier\n");
        write("velmora30.ini", "[MAIN]\nSoundDLLname=libSoundSim.so\nbFirstStart=0\nFRAMERESOL_ms=30\n"
                               "[OSOUND]\nModeL=0\nModeR=0\nGenFreqL=1000\nGenFreqR=1000\nvolL=-6\nvolR=-6\n"
                               "[fft2d]\nSAMPLES=4096\nWIN=8\nAVERAGE=1\nDBMODE=0\nNOISEMESS=1\nTHDMESS=1\n"
                               "bResultTextLeft=1\nbResultTextRight=0\n");
        resetSoundDLL();
        soundDLL().setFolder(VELMORA_MODULE_DIR);
        vl::setMessageService(&messages);
    }
    void TearDown() override { vl::setMessageService(nullptr); }

    void write(const QString& name, const QByteArray& text)
    {
        QFile f(home.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    // A window in the 2D FFT mode that has drawn a spectrum of the bench's 1 kHz tone.
    std::unique_ptr<TMainForm> measuredWindow()
    {
        auto w = std::make_unique<TMainForm>(TMainForm::Options{});
        w->useProgramMeasurements();
        w->resize(1000, 760);
        w->show();
        w->ensureActivated();
        w->selectMeasuringMode(1);
        w->soundOnCommand();
        QApplication::processEvents();
        EXPECT_TRUE(w->startCommand());
        EXPECT_TRUE(runUntil([&] { return w->measurementFrames() >= 2; })) << "no spectrum drawn";
        w->startCommand(); // stop
        runUntil([&] { return !w->MeasRun(); });
        return w;
    }

    QTemporaryDir home;
    Recorder messages;
};

// Every leaf item of the menu bar, with its path ("&File/&Print").
void collect(QMenu* m, const QString& path, QList<QPair<QString, QAction*>>& out)
{
    for (QAction* a : m->actions()) {
        if (a->isSeparator()) continue;
        const QString p = path + "/" + a->text();
        if (a->menu()) {
            out.append({p, a});
            collect(a->menu(), p, out);
        } else {
            out.append({p, a});
        }
    }
}

QList<QPair<QString, QAction*>> menuItems(TMainForm& w)
{
    QList<QPair<QString, QAction*>> items;
    for (QAction* top : w.menuBar()->actions())
        if (top->menu()) {
            items.append({top->text(), top});
            collect(top->menu(), top->text(), items);
        }
    return items;
}

bool hasTool(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

} // namespace

// ---- the menu table -----------------------------------------------------------------------------

// Walks the whole menu bar: every item of the main window's menu table is there, every enabled
// item has a handler, and every disabled one says why in its status tip.
TEST_F(MainFormMenus, EveryItemActsOrSaysWhyNot)
{
    TMainForm w(TMainForm::Options{});
    w.useProgramMeasurements();
    w.ensureActivated();
    for (int mode : {1, 3, 9, 0}) {
        w.selectMeasuringMode(mode);
        std::set<QString> paths;
        for (const auto& [path, a] : menuItems(w)) {
            paths.insert(path);
            if (!a->isVisible()) continue; // hidden ("dB", "Sone", a single module's "Alternative sound DLL")
            if (a->menu()) {
                if (!a->isEnabled()) {
                    EXPECT_FALSE(a->statusTip().isEmpty()) << "mode " << mode << ": " << path.toStdString();
                }
                continue;
            }
            if (a->isEnabled()) {
                const int handlers = ReceiverPeek::count(a, SIGNAL(triggered(bool))) +
                                     ReceiverPeek::count(a, SIGNAL(toggled(bool)));
                EXPECT_GT(handlers, 0) << "mode " << mode << ": enabled without effect: " << path.toStdString();
            } else {
                EXPECT_FALSE(a->statusTip().isEmpty()) << "mode " << mode << ": disabled without a reason: " << path.toStdString();
            }
        }
        if (mode != 1) continue;
        const QStringList table = {
            "&File/&Save freq. diagram as text file", "&File/Save time diagram as text file",
            "&File/Save diagram to BMP/JPG-File", "&File/Sound On", "&File/Start Measure", "&File/&Print",
            "&File/Printer &Setup", "&File/&Exit", "&Edit/&Copy diagram to clipboard", "Measure/2D FFT",
            "Measure/3D FFT", "Measure/Sweep", "Measure/Impedance", "Measure/TSP", "Measure/Distortion",
            "Measure/Power distortion", "Measure/2D Impulse", "Measure/3D Impulse", "Measure/Oscilloscope",
            "&Analyze/&FFT", "&Analyze/Test vs. Reference", "&Analyze/&Analyze Dialog",
            "&Analyze/Level Units/dBFS", "&Analyze/Level Units/dBV", "&Analyze/Level Units/dBu",
            "&Analyze/Level Units/dBm", "&Analyze/Level Units/dBSPL", "&Analyze/Level Units/Pa (Sound Level)",
            "&Analyze/Level Units/mV", "Tools/Analyse measured curves", "&Correction/Open &Input Correction File",
            "&Correction/Input Correction active", "&Correction/Edit Input Correction File",
            "&Correction/Open &Output Correction File", "&Correction/Output Correction active",
            "&Correction/Edit Output Correction File", "&Correction/Test Correction Files",
            "&Options/&Miscellaneous", "&Options/Alternative sound DLL", "&Options/Audio-Out-Device",
            "&Options/Audio-Out-Parameter", "&Options/Audio-In-Device", "&Options/Audio-In-Parameter",
            "&Options/Audio-In DC-Offset", "&Options/Link Audio-In/Out-Dialogs", "&Options/&Calibration",
            "&Help/&Contents", "&Help/Wiring Diagrams", "&Help/Inf&o..."};
        for (const QString& item : table) EXPECT_TRUE(paths.count(item)) << "missing: " << item.toStdString();
    }
    // A disabled item names its reason: the audio items while input and output run.
    QAction* outDev = nullptr;
    for (const auto& [path, a] : menuItems(w))
        if (path == "&Options/Audio-Out-Device") outDev = a;
    ASSERT_NE(outDev, nullptr);
    EXPECT_TRUE(outDev->isEnabled());
    EXPECT_TRUE(outDev->statusTip().isEmpty());

    // Items no other suite triggers: "Printer Setup" runs the page setup dialog, the link item
    // links the module's dialogs, and a level unit starts the diagram again on the new unit.
    auto item = [&](const QString& path) -> QAction* {
        for (const auto& [p, a] : menuItems(w))
            if (p == path) return a;
        return nullptr;
    };
    w.selectMeasuringMode(1);
    int setups = 0;
    w.setPageSetupRunner([&](QPageSetupDialog&) { ++setups; return int(QDialog::Accepted); });
    item("&File/Printer &Setup")->trigger();
    EXPECT_EQ(setups, 1);
    item("&Options/Link Audio-In/Out-Dialogs")->trigger();
    EXPECT_EQ(w.settings().IODlgLink, 10);
    item("&Options/Link Audio-In/Out-Dialogs")->trigger();
    EXPECT_EQ(w.settings().IODlgLink, 0);
    TDiagramm& d = w.diagramWindow()->diagr2d();
    d.setRem2({"Level: old unit"});
    item("&Analyze/Level Units/dBV")->trigger();
    EXPECT_EQ(w.fftSettings().fdbMode, dbMode_dBV);
    EXPECT_TRUE(d.legend().Llist.join("").trimmed().isEmpty()) << "the lines of the old unit are gone";
    EXPECT_TRUE(item("&Analyze/Level Units/dBV")->isChecked());
    w.close();
}

// ---- pictures -----------------------------------------------------------------------------------

// F2 through the picture dialog writes a JPEG that Qt opens, that exiftool validates without an
// error, and whose EXIF and IPTC fields carry the window caption, the version, the measurement
// and its result lines. A BMP is a bitmap of the same diagram.
TEST_F(MainFormMenus, JpegCarriesExifAndIptcAndValidates)
{
    ASSERT_TRUE(hasTool("exiftool")) << "exiftool missing: install libimage-exiftool-perl";
    auto w = measuredWindow();
    const QStringList results = w->measurementResults();
    ASSERT_FALSE(results.isEmpty());
    const QString jpg = home.filePath("dia.jpg");
    QString asked;
    w->setPictureFileChooser([&](const QString& title, const QString&) {
        asked = title;
        return jpg;
    });
    ASSERT_TRUE(w->saveDiagramPicture()) << messages.texts.join('|').toStdString();
    EXPECT_EQ(asked, "Save Diagram ");
    EXPECT_EQ(w->settings().AsDiaFname, jpg) << "the chosen name becomes the last one";
    QImage back(jpg);
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), w->diagramPicture().size());

    int code = -1;
    const QString validate = run("exiftool", {"-validate", "-warning", "-a", jpg}, &code);
    EXPECT_TRUE(validate.contains(QRegularExpression("Validate\\s*:\\s*OK"))) << validate.toStdString();
    const QString tags = run("exiftool", {"-S", "-ImageDescription", "-Software", "-Artist", "-Copyright",
                                          "-DateTimeOriginal", "-IPTC:Caption-Abstract", "-IPTC:Keywords",
                                          "-IPTC:ObjectName", "-IPTC:CopyrightNotice", "-IPTC:OriginatingProgram", jpg});
    std::printf("exiftool -validate: %s\n%s\n", qUtf8Printable(validate.trimmed()), qUtf8Printable(tags));
    EXPECT_TRUE(tags.contains("ImageDescription: Velmora Diagram: 2D FFT")) << tags.toStdString();
    EXPECT_TRUE(tags.contains(QRegularExpression("Software: Velmora \\d"))) << tags.toStdString();
    EXPECT_TRUE(tags.contains("Copyright: " + w->windowTitle())) << tags.toStdString();
    EXPECT_TRUE(tags.contains("CopyrightNotice: " + w->windowTitle())) << tags.toStdString();
    EXPECT_TRUE(tags.contains("ObjectName: Velmora Diagram")) << tags.toStdString();
    EXPECT_TRUE(tags.contains(QRegularExpression("DateTimeOriginal: \\d{4}:\\d\\d:\\d\\d"))) << tags.toStdString();
    EXPECT_TRUE(tags.contains(QRegularExpression("Keywords: .*2D FFT.*fft2d"))) << tags.toStdString();
    // The caption holds the result lines (exiftool shows the line breaks as dots).
    EXPECT_TRUE(tags.contains("Caption-Abstract: " + QString(results.first()).replace('\t', ' ')))
        << tags.toStdString() << "\n" << results.first().toStdString();

    const QString bmp = home.filePath("dia.bmp");
    w->setPictureFileChooser([&](const QString&, const QString&) { return bmp; });
    ASSERT_TRUE(w->saveDiagramPicture());
    const QImage b(bmp, "BMP");
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(b.convertToFormat(QImage::Format_RGB32), w->diagramPicture().convertToFormat(QImage::Format_RGB32));
    w->close();
}

// With AutoNamed the automatic name takes the last picture's extension; anything but bmp or jpg
// writes nothing. A folder that cannot be written gives a message and leaves what was there.
TEST_F(MainFormMenus, AutoNamedPicturesAndFailures)
{
    TMainForm w(TMainForm::Options{});
    w.ensureActivated();
    TMiscValues v = w.miscValues();
    v.AutoNamed = true;
    w.applyMiscValues(v);
    int calls = 0;
    QDir(home.path()).mkdir("pics");
    // The last picture name is set through a save with the dialog.
    v.AutoNamed = false;
    w.applyMiscValues(v);
    const QString first = home.filePath("pics/first.JPG");
    w.setPictureFileChooser([&](const QString&, const QString&) { ++calls; return first; });
    ASSERT_TRUE(w.saveDiagramPicture());
    v.AutoNamed = true;
    w.applyMiscValues(v);
    ASSERT_TRUE(w.saveDiagramPicture());
    EXPECT_EQ(calls, 1) << "no dialog with AutoNamed";
    const QStringList autoFiles = QDir(home.filePath("pics")).entryList({"FreqDiaAsPic_*"});
    ASSERT_EQ(autoFiles.size(), 1);
    EXPECT_TRUE(QRegularExpression("^FreqDiaAsPic_\\d{4}_\\d\\d_\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.JPG$").match(autoFiles[0]).hasMatch())
        << autoFiles[0].toStdString();

    // A png as the last name: nothing is written, no dialog, no message.
    v.AutoNamed = false;
    w.applyMiscValues(v);
    w.setPictureFileChooser([&](const QString&, const QString&) { return home.filePath("pics/last.png"); });
    EXPECT_FALSE(w.saveDiagramPicture()) << "a .png is neither bmp nor jpg";
    v.AutoNamed = true;
    w.applyMiscValues(v);
    messages.texts.clear();
    EXPECT_FALSE(w.saveDiagramPicture());
    EXPECT_EQ(QDir(home.filePath("pics")).entryList({"*.png"}).size(), 0);

    // Unwritable: a folder stands where the file should go.
    v.AutoNamed = false;
    w.applyMiscValues(v);
    QDir(home.path()).mkdir("taken.jpg");
    w.setPictureFileChooser([&](const QString&, const QString&) { return home.filePath("taken.jpg"); });
    messages.texts.clear();
    EXPECT_FALSE(w.saveDiagramPicture());
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].startsWith(home.filePath("taken.jpg") + " could not created")) << messages.texts[0].toStdString();
    EXPECT_TRUE(QFileInfo(home.filePath("taken.jpg")).isDir());
    w.close();
}

// ---- printing -----------------------------------------------------------------------------------

// The page printed into a PDF: one page, the diagram drawn in its upper half (portrait), and the
// result lines as text under it.
TEST_F(MainFormMenus, PrintedPdfHoldsOnePageWithDiagramAndResultLines)
{
    ASSERT_TRUE(hasTool("pdftoppm") && hasTool("pdfinfo") && hasTool("pdftotext"))
        << "poppler tools missing: install poppler-utils";
    auto w = measuredWindow();
    const QString pdf = home.filePath("page.pdf");
    QString why;
    ASSERT_TRUE(w->printToPdf(pdf, &why)) << why.toStdString();
    const QString info = run("pdfinfo", {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+1\\n"))) << info.toStdString();
    const QString text = run("pdftotext", {"-layout", pdf, "-"});
    for (const QString& line : w->measurementResults())
        EXPECT_TRUE(text.simplified().contains(line.simplified().left(16))) << line.toStdString() << "\n" << text.toStdString();
    ASSERT_EQ(run("pdftoppm", {"-png", "-r", "60", "-singlefile", pdf, home.filePath("page")}), QString());
    const QImage page(home.filePath("page.png"));
    ASSERT_FALSE(page.isNull());
    keepPicture(page, "printed_page.png");
    // The diagram fills the upper half (its plot and margins are not paper white); the lower
    // quarter stays empty.
    auto inked = [&](int from, int to) {
        qint64 n = 0;
        for (int y = from; y < to; ++y)
            for (int x = 0; x < page.width(); ++x) n += qGray(page.pixel(x, y)) < 250;
        return double(n) / (double(to - from) * page.width());
    };
    EXPECT_GT(inked(page.height() / 8, page.height() / 2), 0.25);
    EXPECT_LT(inked(page.height() * 3 / 4, page.height()), 0.001);

    // The print command goes through the print dialog; cancelled, nothing is printed.
    int asked = 0;
    w->setPrintDialogRunner([&](QPrintDialog&) { ++asked; return int(QDialog::Rejected); });
    EXPECT_FALSE(w->printCommand());
    EXPECT_EQ(asked, 1);
    w->close();
}

// ---- help ---------------------------------------------------------------------------------------

// Every help topic number the program uses has its page, and no link or picture of the pages is
// broken.
TEST_F(MainFormMenus, EveryTopicHasAPageAndNoLinkIsBroken)
{
    std::set<int> topics = {1, TCrvdia::kHelpContext, Tdiadlg::kHelpContext, TFoToolAnalyzeCurve::kHelpContext,
                            TSoundODlgF::kHelpContext, TSelSoundDLL::kHelpContext, TFWaveSynthesis::kHelpContext,
                            FFTDialogHelpTopic(0), FFTDialogHelpTopic(~0), 72, 999, 46, 5};
    for (int m = 0; m <= 14; ++m) {
        topics.insert(WiringHelpTopic(m));
        topics.insert(MeasModeInfo(m).helpContext);
    }
    for (int t : topics) EXPECT_FALSE(helpPageFile(t).isEmpty()) << "no page for topic " << t;

    const QRegularExpression ref("(href|src)=\"([^\"]+)\"");
    const QStringList pages = QDir(helpFolder()).entryList({"*.html"});
    ASSERT_GE(pages.size(), 30);
    int links = 0, pictures = 0;
    for (const QString& page : pages) {
        QFile f(helpFolder() + page);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(f.readAll());
        for (auto it = ref.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(2);
            if (target.startsWith("wiring:")) {
                ++pictures;
                EXPECT_FALSE(helpWiringPicture(target.mid(7)).isNull()) << page.toStdString() << ": " << target.toStdString();
            } else {
                ++links;
                EXPECT_TRUE(QFileInfo::exists(helpFolder() + target.section('#', 0, 0)))
                    << page.toStdString() << ": broken link " << target.toStdString();
            }
        }
    }
    EXPECT_GT(links, 40);
    EXPECT_EQ(pictures, 12);
}

// "&Contents", "Wiring Diagrams", a right click on a tool button and a dialog's help button open
// the help window at their topics; the very first start opens topic 999 once; "Info" names the
// sound module's version.
TEST_F(MainFormMenus, HelpOpensAtTheTopicOfEachEntry)
{
    write("velmora30.ini", "[MAIN]\nSoundDLLname=libSoundSim.so\n"); // bFirstStart missing: first start
    {
        TMainForm w(TMainForm::Options{});
        w.ensureActivated();
        ASSERT_NE(w.helpWindow(), nullptr) << "the first start opens the help";
        EXPECT_TRUE(w.helpWindow()->browser()->source().toString().endsWith("/999.html"));
        w.close();
    }
    TMainForm w(TMainForm::Options{});
    w.resize(900, 700);
    w.show();
    w.ensureActivated();
    EXPECT_EQ(w.helpWindow(), nullptr) << "topic 999 opens only once";
    auto item = [&](const QString& path) -> QAction* {
        for (const auto& [p, a] : menuItems(w))
            if (p == path) return a;
        return nullptr;
    };
    item("&Help/&Contents")->trigger();
    ASSERT_NE(w.helpWindow(), nullptr);
    EXPECT_TRUE(w.helpWindow()->browser()->source().toString().endsWith("/1.html"));
    EXPECT_TRUE(w.helpWindow()->browser()->toPlainText().contains("Measurements"));
    w.selectMeasuringMode(6);
    item("&Help/Wiring Diagrams")->trigger();
    EXPECT_TRUE(w.helpWindow()->browser()->source().toString().endsWith("/2050.html"));
    w.helpWindow()->resize(760, 560);
    QApplication::processEvents();
    keepPicture(w.helpWindow()->grab().toImage(), "help_window.png");
    emit w.modeButton(3)->customContextMenuRequested(QPoint(2, 2));
    EXPECT_TRUE(w.helpWindow()->browser()->source().toString().endsWith("/2020.html"));
    EXPECT_EQ(w.openHelp(12345), 1) << "a topic without a page shows the contents";
    // A dialog's help button reaches the window through the help service.
    EXPECT_TRUE(vl::showHelp(TSoundODlgF::kHelpContext));
    EXPECT_TRUE(w.helpWindow()->browser()->source().toString().endsWith("/42.html"));
    const QString about = w.aboutText();
    EXPECT_TRUE(about.contains(QRegularExpression("libSoundSim.so, version \\d+\\.\\d\\d"))) << about.toStdString();
    w.close();
}

// ---- Miscellaneous ------------------------------------------------------------------------------

// OK writes the values to the main window, the diagram and the separator; the next text export
// uses the new separator and the settings file keeps them. Cancel changes nothing.
TEST_F(MainFormMenus, MiscellaneousDialogAppliesAndIsRemembered)
{
    {
        auto window = measuredWindow();
        TMainForm& w = *window;
        const TMiscValues before = w.miscValues();
        w.setMiscDialogRunner([](TMiscDlg& d) {
            d.SEPrec->setValue(9);
            return int(QDialog::Rejected);
        });
        EXPECT_EQ(w.openMiscDialog(), int(QDialog::Rejected));
        EXPECT_EQ(w.miscValues().FPrec, before.FPrec);
        w.setMiscDialogRunner([](TMiscDlg& d) {
            d.resize(d.sizeHint());
            d.CBTextSep->setCurrentIndex(d.CBTextSep->findText("BLANK"));
            d.SEPrec->setValue(9);
            d.SEDigits->setValue(4);
            d.SELines->setValue(50);
            d.SEFrame->setValue(40);
            d.CBAutoNamed->setChecked(true);
            keepPicture(d.grab().toImage(), "misc_dialog.png");
            return int(QDialog::Accepted);
        });
        EXPECT_EQ(w.openMiscDialog(), int(QDialog::Accepted));
        QApplication::processEvents(); // message 0x41A
        EXPECT_EQ(w.separatorChar(), QChar(u','));
        EXPECT_EQ(w.settings().textSep, ' ');
        EXPECT_TRUE(w.settings().AutoNamed);
        EXPECT_EQ(w.settings().FRAMERESOL_ms, 40.0);
        EXPECT_EQ(w.diagramWindow()->diagr2d().FTlines, 50);
        const QString txt = home.filePath("f.txt");
        ASSERT_TRUE(w.exportFrequencyText(txt));
        QFile f(txt);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
        ASSERT_GE(rows.size(), 10);
        EXPECT_FALSE(rows[5].contains(';')) << rows[5].toStdString();
        EXPECT_TRUE(rows[5].contains(QRegularExpression("\\d\\.\\d{4} "))) << rows[5].toStdString();
        w.close();
    }
    QFile ini(home.filePath("velmora30.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(ini.readAll());
    EXPECT_TRUE(text.contains("TEXTSEP=BLANK")) << text.toStdString();
    EXPECT_TRUE(text.contains("AUTONAMED=1") || text.contains("AUTONAMED=true")) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("FRAMERESOL_ms=40\\b"))) << text.toStdString();
}

// ---- analysis and correction items ------------------------------------------------------------

// "&FFT" opens the FFT dialog and takes its points; "Test vs. Reference" lays the target curve
// into slot 7 meeting the measured curve at 1 kHz; "Test Correction Files" shows the active input
// correction in slot 6 and gives the slot back when switched off.
TEST_F(MainFormMenus, FftTestVsReferenceAndTestCorrections)
{
    write("in.cor", "10;0\n1000;0\n1000;3\n20000;3\n"); // a step at 1 kHz (repeated x)
    ASSERT_TRUE(QFile::copy(VELMORA_FACTORY_DATA "/zielkurve.cur", home.filePath("zielkurve.cur")));
    auto w = measuredWindow();
    auto item = [&](const QString& path) -> QAction* {
        for (const auto& [p, a] : menuItems(*w))
            if (p == path) return a;
        return nullptr;
    };
    int shown = 0;
    w->setFFTDialogRunner([&](QDialog&) { ++shown; return int(QDialog::Rejected); });
    item("&Analyze/&FFT")->trigger();
    EXPECT_EQ(shown, 1);

    item("&Analyze/Test vs. Reference")->trigger();
    const TDiagramm& dia = w->diagramWindow()->diagr2d();
    const Tcurve* ideal = dia.curve(7);
    ASSERT_TRUE(ideal->Fcvis && ideal->ValidData) << "the target curve is shown in slot 7";
    EXPECT_GT(ideal->OriY.samples(), 10);
    messages.texts.clear();
    QFile::remove(home.filePath("zielkurve.cur"));
    EXPECT_FALSE(w->testVsReference());
    EXPECT_EQ(messages.texts.size(), 1) << "a missing target curve is reported";

    // The input correction comes from a file with a repeated x; it loads and is active.
    ASSERT_NE(item("&Correction/Test Correction Files"), nullptr);

    // A curve file dropped on the window loads into the first selected slot; a damaged one and
    // a preset without presets are refused.
    TDiagramm& d = w->diagramWindow()->diagr2d();
    const QString cur = home.filePath("measured.cur");
    ASSERT_TRUE(d.curve(0)->savetoFile(cur));
    for (int s = 0; s < 8; ++s) d.curve(s)->Fsel = s == 3;
    EXPECT_TRUE(w->dropFile(cur));
    ASSERT_EQ(d.curve(3)->OriY.samples(), d.curve(0)->OriY.samples());
    EXPECT_NEAR(d.curve(3)->OriY.getsmAr(10), d.curve(0)->OriY.getsmAr(10), 1e-6);
    EXPECT_TRUE(d.curve(3)->Fcvis);
    write("bad.cur", "[aCurve]\nSAMPLES=100\n");
    messages.texts.clear();
    EXPECT_FALSE(w->dropFile(home.filePath("bad.cur")));
    EXPECT_EQ(messages.texts.size(), 1);
    EXPECT_FALSE(w->dropFile(home.filePath("some.atp"))) << "a missing preset executes nothing";
    ASSERT_TRUE(w->savePreset(home.filePath("dropped.atp")));
    w->ClearPresets(0);
    EXPECT_TRUE(w->dropFile(home.filePath("dropped.atp")));
    EXPECT_EQ(w->presetName(), home.filePath("dropped.atp"));
    EXPECT_EQ(w->currentPresetName(), "dropped.atp");
    w->close();
    // The input correction named in the settings (a file with a repeated x) loads and is active.
    write("velmora30.ini", QByteArray("[MAIN]\nSoundDLLname=libSoundSim.so\nbFirstStart=0\nINCONAME=") +
                               home.filePath("in.cor").toUtf8() + "\nINCOAKT=1\n");
    messages.texts.clear();
    TMainForm w2(TMainForm::Options{});
    w2.ensureActivated();
    auto item2 = [&](const QString& path) -> QAction* {
        for (const auto& [p, a] : menuItems(w2))
            if (p == path) return a;
        return nullptr;
    };
    const TColorBGR before = w2.diagramWindow()->diagr2d().curve(6)->FColLine;
    item2("&Correction/Test Correction Files")->trigger();
    EXPECT_TRUE(w2.correctionsShown());
    const Tcurve* c6 = w2.diagramWindow()->diagr2d().curve(6);
    EXPECT_TRUE(c6->Fcvis);
    EXPECT_EQ(c6->FColLine, TColorBGR(255));
    EXPECT_GT(c6->OriY.samples(), 1);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
    item2("&Correction/Test Correction Files")->trigger();
    EXPECT_FALSE(w2.correctionsShown());
    EXPECT_EQ(w2.diagramWindow()->diagr2d().curve(6)->FColLine, before);
    w2.close();
}

// ---- the command line -----------------------------------------------------------------------------

// A scripted run writes the picture and the printed page as F2 and "&Print" do.
TEST_F(MainFormMenus, CommandLineSavesPictureAndPrintsPdf)
{
    const QString jpg = home.filePath("cli.jpg"), pdf = home.filePath("cli.pdf");
    int code = -1;
    const QString out = run(VELMORA_BIN_DIR "/velmora", {"--home", home.path(), "--mode", "1", "--sound-on", "--start",
                                                         "--measure", "1", "--save-picture", jpg, "--print-pdf", pdf, "--quit"},
                            &code);
    EXPECT_EQ(code, 0) << out.toStdString();
    EXPECT_FALSE(QImage(jpg).isNull()) << out.toStdString();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5) == "%PDF-");
    // A picture with an extension that is neither bmp nor jpg is refused with the reason.
    const QString bad = run(VELMORA_BIN_DIR "/velmora", {"--home", home.path(), "--mode", "1", "--save-picture",
                                                         home.filePath("x.png"), "--quit"}, &code);
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(bad.contains("neither .bmp nor .jpg")) << bad.toStdString();
}

// ---- pink-noise compensation ------------------------------------------------------------------------

// "pink noise corr." in the diagram options reaches the running FFT as its display correction:
// the 1 kHz tone reads 19.69 dB higher (the compensation rises 3 dB per octave from 0 dB at
// 10 Hz: between 640 Hz (18 dB) and 1280 Hz (21 dB) it is 18 + 3 * 360 / 640 dB at 1 kHz), and
// the mode panel says so.
TEST_F(MainFormMenus, PinkNoiseCompensationLiftsTheToneByTheSlopeAtItsFrequency)
{
    auto w = measuredWindow();
    auto peak = [&] {
        const Tsamplemem& y = w->diagramWindow()->diagr2d().curve(0)->OriY;
        double m = -1e9;
        for (int i = 0; i < y.samples(); ++i) m = std::max(m, y.getsmAr(i));
        return m;
    };
    const double plain = peak();
    w->diagramWindow()->runOptionsDialog = [](Tdiadlg& d) {
        d.CBPink->setChecked(true);
        return int(QDialog::Accepted);
    };
    w->diagramWindow()->openDiagramOptions();
    EXPECT_TRUE(w->statusTexts().value(4).contains("[Pink Noise Filter active]")) << w->statusTexts().value(4).toStdString();
    const int before = w->measurementFrames();
    ASSERT_TRUE(w->startCommand());
    ASSERT_TRUE(runUntil([&] { return w->measurementFrames() >= before + 2; }));
    w->startCommand();
    runUntil([&] { return !w->MeasRun(); });
    EXPECT_NEAR(peak() - plain, 18.0 + 3.0 * 360.0 / 640.0, 0.05);
    w->close();
}
