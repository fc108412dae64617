// The model sections of SoundSim.ini: per-kind sections, text values, and bad values told to the user.
#include "SimSettingsIni.h"
#include "TSimModel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>

namespace {

class SimModelSettings : public ::testing::Test {
protected:
    QString write(const QByteArray& text)
    {
        const QString name = dir_.filePath("SoundSim.ini");
        QFile f(name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        return name;
    }
    QByteArray read(const QString& name)
    {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir_; // holds the file of each test
};

TEST_F(SimModelSettings, EachKindReadsItsOwnSectionAndTheWireKeepsModel)
{
    const QString name = write("[Model]\nKind=Amplifier\nGain_dB=-3\n[Amplifier]\nGain_dB=12.5\nA3=0,002\n"
                               "[Room]\nReflections= 1:-3, 2:-6 \n[Tape]\nWowDepth_pct=0.1\n");
    QString notice;
    const TSimSettings s = simReadSettings(name, &notice);
    EXPECT_TRUE(notice.isEmpty()) << notice.toStdString();
    EXPECT_EQ(s.model.kind, "amplifier");
    EXPECT_EQ(simParam(s.model, "amplifier", "Gain_dB"), 12.5);
    EXPECT_EQ(simParam(s.model, "amplifier", "A3"), 0.002) << "a decimal comma is read too";
    EXPECT_EQ(simParam(s.model, "wire", "Gain_dB"), -3.0) << "the wire's values stay in [Model]";
    EXPECT_EQ(simText(s.model, "room", "Reflections"), "1:-3, 2:-6");
    EXPECT_EQ(simParam(s.model, "tape", "WowDepth_pct"), 0.1);
    EXPECT_EQ(simParam(s.model, "tape", "FlutterRate_Hz"), 10.0) << "missing keys give the default";
}

TEST_F(SimModelSettings, BadValuesFallBackToDefaultsWithAMessageAndTheFileStaysAsItWas)
{
    struct Case {
        const char* what;
        QByteArray text;
        const char* key;
        double want;
        const char* message; // part of the notice, or "" for none
    };
    QByteArray huge = "[Model]\nKind=amplifier\n[Amplifier]\nA2=" + QByteArray(200000, '9') + "\n";
    const Case cases[] = {
        {"not a number", "[Model]\nKind=amplifier\n[Amplifier]\nA2=loud\n", "A2", 0.0, "A2=\"loud\" is not a number"},
        {"out of range", "[Model]\nKind=amplifier\n[Amplifier]\nGain_dB=500\n", "Gain_dB", 80.0, "lies outside"},
        {"not finite", "[Model]\nKind=amplifier\n[Amplifier]\nGain_dB=1e999\n", "Gain_dB", 0.0, "not a number"},
        {"huge", huge, "A2", 0.0, "not a number"},
        {"truncated", "[Model]\nKind=amplifier\n[Amplifier]\nLowPass_Hz=12", "LowPass_Hz", 12.0, ""},
        {"cut key", "[Model]\nKind=amplifier\n[Amplifier]\nLowPa", "LowPass_Hz", 0.0, ""},
        {"non-ASCII value", "[Model]\nKind=amplifier\n[Amplifier]\nA2=\xC2\xB5" "5\n", "A2", 0.0, "not a number"},
        {"other kind's bad value is not told", "[Model]\nKind=amplifier\n[Tape]\nDrift_pct=x\n", "A2", 0.0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString name = write(c.text);
        QString notice;
        const TSimSettings s = simReadSettings(name, &notice);
        EXPECT_EQ(simParam(s.model, "amplifier", c.key), c.want);
        if (*c.message) {
            EXPECT_TRUE(notice.contains(c.message)) << notice.toStdString();
            EXPECT_LT(notice.size(), 400) << "a huge value is shortened in the message";
        } else {
            EXPECT_TRUE(notice.isEmpty()) << notice.toStdString();
        }
        EXPECT_EQ(read(name), c.text) << "reading never rewrites the file";
    }
    // Not UTF-8 at all: the INI layer says so and keeps the file aside, unchanged.
    const QByteArray latin1 = "[Model]\nKind=amplifier\n[Amplifier]\nA2=\xB5" "5\n";
    QString notice1;
    const TSimSettings d = simReadSettings(write(latin1), &notice1);
    EXPECT_TRUE(notice1.contains("UTF-8")) << notice1.toStdString();
    EXPECT_EQ(d.model, TSimModelSettings{}) << "defaults";
    const QStringList aside = QDir(dir_.path()).entryList({"SoundSim.ini.bad*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(read(dir_.filePath(aside[0])), latin1);
    // A malformed reflection list reaches the user through the model's notice.
    const TSimSettings s = simReadSettings(write("[Model]\nKind=room\n[Room]\nReflections=3.1:-6,,x\n"), nullptr);
    std::string notice;
    simMakeModel(s.model, &notice);
    EXPECT_NE(notice.find("\"x\""), std::string::npos) << notice;
}

TEST_F(SimModelSettings, ChangesAreWrittenToTheKindsSectionKeepingTheRest)
{
    const QString name = write("; bench\n[Model]\nKind=wire\nGain_dB=-3\n[Room]\nRT60_ms=300\nOwnNote=keep\n");
    const TSimSettings before = simReadSettings(name, nullptr);
    TSimSettings after = before;
    after.model.kind = "room";
    after.model.params[simKey("Room", "RT60_ms")] = 800;
    after.model.texts[simKey("Room", "Reflections")] = "5:-3";
    QString error;
    ASSERT_TRUE(simWriteChanges(name, before, after, &error)) << error.toStdString();
    const QString text = QString::fromUtf8(read(name));
    EXPECT_TRUE(text.contains("Kind=room")) << text.toStdString();
    EXPECT_TRUE(text.contains("RT60_ms=800")) << text.toStdString();
    EXPECT_TRUE(text.contains("Reflections=5:-3")) << text.toStdString();
    EXPECT_TRUE(text.contains("OwnNote=keep")) << text.toStdString();
    EXPECT_TRUE(text.contains("Gain_dB=-3")) << text.toStdString();
    EXPECT_EQ(simReadSettings(name, nullptr), after) << "what was written reads back the same";
}

} // namespace
