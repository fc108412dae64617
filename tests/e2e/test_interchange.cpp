// Whole-program runs of the interchange files on the virtual bench: results as JSON (against the
// printed lines, the schema and a standard-library Python reader), a curve as FRD and CSV, the
// recording as WAV, and a microphone calibration file moving the dB SPL reading.
#include "SimTruthAmplifier.h"
#include "TGenSoundFile.h"
#include "display/Tcurve.h"
#include "display/TcurveExchange.h"
#include "../support/velmoraRun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int kRate = 48000;
constexpr int kN = 16384;
constexpr int kBin = 341;                     // generator frequency as FFT bin (999.0 Hz)
constexpr double kF = double(kBin) * kRate / kN;
constexpr double kGenDbfs = -6.0;

TSimAmpSpec bench()
{
    TSimAmpSpec a;
    a.outputVoltsFS = 2.0;
    a.gainDb = 6.0;
    a.a[2] = 3e-3;
    a.a[3] = -2e-3;
    a.attenuationDb = 12.0;
    a.inputVoltsFS = 1.5;
    a.noiseDbfs = -110.0;
    return a;
}

void writeText(const QString& file, const QString& text)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
    f.write(text.toUtf8());
}

// The bench and the program's settings: the 2D FFT with the level and THD lines of the left
// channel in level unit `dbMode` (1 dBV, 4 dB SPL).
void prepareHome(const QTemporaryDir& home, int dbMode)
{
    const TSimAmpSpec a = bench();
    writeText(home.filePath("SoundSim.ini"),
              QString("[Device]\nSampleRate=%1\nBits=32\nPacing=realtime\n[Model]\nKind=amplifier\n[Amplifier]\n"
                      "OutputVoltsFS=%2\nGain_dB=%3\nA2=%4\nA3=%5\nAttenuation_dB=%6\nInputVoltsFS=%7\nNoise_dBFS=%8\n")
                  .arg(kRate).arg(a.outputVoltsFS).arg(a.gainDb).arg(a.a[2]).arg(a.a[3]).arg(a.attenuationDb)
                  .arg(a.inputVoltsFS).arg(a.noiseDbfs));
    writeText(home.filePath("velmora30.ini"),
              QString("[MAIN]\nSoundDLLname=libSoundSim.so\n[EICH]\nINPUT=%1\n"
                      "[OSOUND]\nModeL=0\nModeR=0\nGenFreqL=%2\nGenFreqR=%2\nvolL=%3\nvolR=%3\n"
                      "[fft2d]\nSAMPLES=%4\nWIN=8\nAVERAGE=1\nDBMODE=%5\nNOISEMESS=1\nTHDMESS=1\nHx=%6\n"
                      "bResultTextLeft=1\nbResultTextRight=0\nOriSizeLines=1\n")
                  .arg(1000.0 * a.inputVoltsFS).arg(kF, 0, 'g', 17).arg(kGenDbfs).arg(kN).arg(dbMode).arg(0x1FE));
}

QStringList measure(const QStringList& extra)
{
    return QStringList{"--sound-module", "libSoundSim.so", "--mode", "1", "--sound-on", "--start",
                       "--measure", "2", "--results"} + extra + QStringList{"--quit"};
}

QJsonObject readJson(const QString& file)
{
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
    QJsonParseError e;
    const QJsonDocument d = QJsonDocument::fromJson(f.readAll(), &e);
    EXPECT_EQ(e.error, QJsonParseError::NoError) << e.errorString().toStdString();
    return d.object();
}

QJsonObject leftChannel(const QJsonObject& doc)
{
    return doc["figures"].toObject()["channels"].toArray().first().toObject();
}

// The numbers printed after "left Ch. " on the line starting with prefix ("a/b" gives both).
QStringList printed(const QString& out, const QString& prefix)
{
    for (const QString& l : out.split('\n'))
        if (l.startsWith(prefix)) {
            const QRegularExpressionMatch m = QRegularExpression("left Ch\\. (-?[0-9.]+)(?:/([0-9.]+))?").match(l);
            return m.hasMatch() ? QStringList{m.captured(1), m.captured(2)} : QStringList();
        }
    return {};
}

// |value - text| within half the last printed digit.
void expectSameToPrintedDigits(double value, const QString& text, const char* what)
{
    const int decimals = text.contains('.') ? int(text.size() - text.indexOf('.') - 1) : 0;
    EXPECT_LE(std::fabs(value - text.toDouble()), 0.5 * std::pow(10.0, -decimals) + 1e-9)
        << what << ": json " << value << ", printed " << text.toStdString();
}

} // namespace

TEST(InterchangeE2E, ResultsJsonCurvesAndRecordingOfA2dFftRun)
{
    QTemporaryDir home;
    prepareHome(home, 1);
    const QString json = home.filePath("r.json"), frd = home.filePath("c.frd"), csv = home.filePath("c.csv"),
                  wav = home.filePath("rec.wav");
    const VelmoraRun r = runVelmoraIn(home.path(), measure({"--results-json", json, "--export-curve", "1", frd,
                                                            "--export-curve", "1", csv, "--save-wav", wav}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString() << r.out.toStdString();

    // The same level and THD as the result lines, to the printed digits.
    const QJsonObject doc = readJson(json), left = leftChannel(doc);
    const QStringList level = printed(r.out, "Level:"), dist = printed(r.out, "Dist:");
    ASSERT_EQ(level.size(), 2) << r.out.toStdString();
    ASSERT_EQ(dist.size(), 2) << r.out.toStdString();
    expectSameToPrintedDigits(left["level"].toDouble(), level[0], "level dBV");
    expectSameToPrintedDigits(left["thd_dB"].toDouble(), dist[0], "THD dB");
    expectSameToPrintedDigits(left["thd_percent"].toDouble(), dist[1], "THD %");
    EXPECT_EQ(doc["method"].toObject()["fft_size"].toInt(), kN);
    EXPECT_EQ(doc["method"].toObject()["sample_rate_Hz"].toInt(), kRate);
    EXPECT_TRUE(left["imd_dB"].isUndefined()) << "a line not enabled is not written";
    std::printf("[json] %s\n", QJsonDocument(doc).toJson(QJsonDocument::Compact).left(700).constData());

    // The schema holds and the standard-library reader gets the same numbers.
    QProcess py;
    py.start("python3", {VELMORA_TESTS_DIR "/e2e/read_results_json.py", json,
                         VELMORA_FACTORY_DATA "/schema/results.schema.json"});
    ASSERT_TRUE(py.waitForFinished(30000));
    const QString pyOut = QString::fromUtf8(py.readAllStandardOutput());
    ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    const QRegularExpressionMatch m = QRegularExpression("left\\.level=(\\S+)").match(pyOut);
    ASSERT_TRUE(m.hasMatch()) << pyOut.toStdString();
    EXPECT_EQ(m.captured(1).toDouble(), left["level"].toDouble()) << "the reader's number is the file's";

    // The exported spectrum, in both layouts, peaks in the generator's bin.
    for (const QString& file : {frd, csv}) {
        Tcurve c;
        QString why;
        ASSERT_TRUE(ImportCurve(c, file, CurveFormatOfName(file), &why)) << why.toStdString();
        int top = 0;
        for (int i = 1; i < c.OriY.samples(); ++i)
            if (c.OriY.getsmAr(i) > c.OriY.getsmAr(top)) top = i;
        EXPECT_NEAR(c.xaxis.getsmAr(top), kF, double(kRate) / kN) << file.toStdString();
    }

    // The recording: both input channels at the real rate, the left one carrying the bench's
    // truth (RMS of the recorded lines) within 0.01 dB.
    std::string why;
    const auto rec = TGenSoundFile::load(wav.toStdString(), kRate, why);
    ASSERT_TRUE(rec) << why;
    EXPECT_EQ(rec->channels(), 2);
    ASSERT_GE(rec->frames(), kN);
    double sum = 0.0;
    for (int64_t i = 0; i < kN; ++i) sum += rec->at(0, i) * rec->at(0, i);
    double truth = 0.0;
    for (const TSimHarmonic& h : simAmpHarmonics(bench(), kGenDbfs, kF, kRate).lines) truth += 0.5 * h.amplitude * h.amplitude;
    EXPECT_NEAR(10.0 * std::log10(sum / kN), 10.0 * std::log10(truth), 0.01);
}

// dB SPL of the same bench level: a file with a sensitivity of 20 mV/Pa reads 20*log10(S/20) dB
// higher than with the sensitivity S before (the settings' default, 14 mV/Pa); a file with
// "Sens Factor =-1.5dB" and 0.7 dB at the tone reads 1.5 - 0.7 = 0.8 dB higher. Compared on the
// unrounded JSON levels, within 0.01 dB.
TEST(InterchangeE2E, MicrophoneFileMovesTheSplReadingBySensitivityAndCurve)
{
    // Every run in a fresh settings folder: a loaded file is remembered for the next start.
    QTemporaryDir files;
    const QString mv = files.filePath("mv.txt"), factor = files.filePath("factor.txt");
    writeText(mv, "* Sensitivity: 20 mV/Pa\n10 0\n20000 0\n24000 0\n");
    writeText(factor, "\"Sens Factor =-1.5dB, SERNO: 1234\"\n10 -3.0\n200 0.7\n1000 0.7\n24000 0.7\n");
    auto runWith = [&](const QStringList& extra) {
        QTemporaryDir home;
        prepareHome(home, 4);
        const QString json = home.filePath("spl.json");
        const VelmoraRun r = runVelmoraIn(home.path(), measure(QStringList{"--results-json", json} + extra));
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return readJson(json);
    };
    auto spl = [](const QJsonObject& doc) { return leftChannel(doc)["level"].toDouble(); };
    auto sensitivity = [](const QJsonObject& doc) {
        return doc["calibration"].toObject()["mic_sensitivity_mV_per_Pa"].toArray().first().toDouble();
    };
    const QJsonObject plainDoc = runWith({}), mvDoc = runWith({"--mic-calibration", mv});
    const double plain = spl(plainDoc), withMv = spl(mvDoc);
    const double withFactor = spl(runWith({"--mic-calibration", factor}));
    std::printf("[spl] plain %.4f (%.2f mV/Pa), 20 mV/Pa %.4f, factor file %.4f dB SPL\n", plain,
                sensitivity(plainDoc), withMv, withFactor);
    EXPECT_EQ(sensitivity(mvDoc), 20.0);
    EXPECT_NEAR(withMv - plain, 20.0 * std::log10(sensitivity(plainDoc) / 20.0), 0.01);
    EXPECT_NEAR(withFactor - plain, 0.8, 0.01);
}
