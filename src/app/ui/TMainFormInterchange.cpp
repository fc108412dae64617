// The main window's interchange commands: results as JSON, curves in other layouts, microphone calibration files, recordings as WAV.
#include "app/ui/TMainForm.h"

#include "analysis/TMicCalibration.h"
#include "app/ui/TMainStatusBar.h"
#include "base/vlMessages.h"
#include "core/TRecordingWav.h"
#include "display/TcurveExchange.h"
#include "display/ui/Tdiafrm.h"
#include "measurements/TResultJson.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

namespace {

bool fail(QString* error, const QString& text)
{
    if (error) *error = text;
    return false;
}

} // namespace

void TMainForm::buildInterchangeItems(QMenu* file)
{
    // The dialogs open in the folder of the last text export.
    auto folder = [this] { return QFileInfo(m_set.AsTextFname).absolutePath(); };
    file->addAction("Save results as JSON...", this, [this, folder] {
        const QString name = QFileDialog::getSaveFileName(this, "Save results as JSON", folder(), "JSON (*.json)");
        QString why;
        if (!name.isEmpty() && !saveResultsJson(name, &why)) vl::errorBox(why);
    });
    file->addAction("Save recording as WAV...", this, [this, folder] {
        QString filter;
        const QString name = QFileDialog::getSaveFileName(this, "Save recording as WAV", folder(),
                                                          "WAV float 32 bit (*.wav);;WAV PCM 24 bit (*.wav)", &filter);
        QString why;
        if (!name.isEmpty() && !saveRecordingWav(name, !filter.contains("24"), &why)) vl::errorBox(why);
    });
    file->addSeparator();
}

QJsonObject TMainForm::resultsDocument() const
{
    TResultJsonSetup s;
    s.mode = m_fft.MeasuringModeF;
    s.soundModule = m_set.SoundDLLname;
    s.sampleRate = m_meas ? m_meas->sampleRate() : 0;
    s.fft = &m_fft;
    s.ana = &m_ana;
    s.cal = &m_calibration;
    s.generator = soundDLL().usable() ? soundDLL().waveGO() : nullptr;
    s.inputCorrection = &m_cors->curve(TCorrectionSet::Input);
    s.inputCorrectionFile = m_cors->fileName(TCorrectionSet::Input);
    return ResultsDocument(s, m_meas.get());
}

bool TMainForm::saveResultsJson(const QString& file, QString* error)
{
    return WriteResultsJson(file, resultsDocument(), error);
}

bool TMainForm::exportCurve(int number, const QString& file, QString* error)
{
    const Tcurve* c = m_diafrm ? m_diafrm->diagr2d().curve(number - 1) : nullptr;
    if (!c) return fail(error, QString("there is no curve %1 (curves are numbered 1..12)").arg(number));
    if (!c->ValidData) return fail(error, QString("curve %1 holds no data").arg(number));
    return ExportCurve(*c, file, CurveFormatOfName(file), error);
}

bool TMainForm::saveRecordingWav(const QString& file, bool float32, QString* error)
{
    const std::vector<std::vector<double>> rec = m_meas ? m_meas->recordedSignal() : std::vector<std::vector<double>>();
    std::string why;
    if (WriteRecordingWav(QFile::encodeName(file).toStdString(), rec, m_meas ? m_meas->sampleRate() : 0,
                          float32 ? eWavSample::ws_Float32 : eWavSample::ws_PCM24, why))
        return true;
    return fail(error, QFileInfo(file).fileName() + ": " + QString::fromStdString(why));
}

bool TMainForm::loadMicCalibration(const QString& file, bool takeSensitivity, QString* error)
{
    TMicCalibrationFile mic;
    if (!ReadMicCalibration(file, mic, error)) return false;
    m_cors->open(TCorrectionSet::Input, file);
    m_set.AsInCorFname = file;
    if (const std::optional<double> sens = OfferedMicSensitivity(mic); sens && takeSensitivity) {
        m_calibration.MicSens_mVpPaL = m_calibration.MicSens_mVpPaR = *sens;
        ApplyLevelCalibration(m_fft, m_calibration);
        m_status->setPanelText(3, calibPanelText(m_fft, m_calibration.INPUT));
    }
    if (m_meas)
        m_meas->SetCors(&m_cors->curve(TCorrectionSet::Input), &m_cors->curve(TCorrectionSet::Output), &m_dispCor);
    refreshCorrectionMenu();
    return true;
}

void TMainForm::chooseMicCalibration()
{
    const QString name = QFileDialog::getOpenFileName(this, "Open Microphone Calibration File",
                                                      QFileInfo(m_set.AsInCorFname).absolutePath(),
                                                      "Calibration files (*.txt *.cal *.frd);;All Files (*)");
    if (name.isEmpty()) return;
    TMicCalibrationFile mic;
    QString why;
    if (!ReadMicCalibration(name, mic, &why)) {
        vl::errorBox(why);
        return;
    }
    bool take = false;
    if (const std::optional<double> sens = OfferedMicSensitivity(mic))
        take = vl::showMessage(vl::MsgKind::Confirmation, "Microphone sensitivity",
                               QString("The file gives a sensitivity of %1 mV/Pa (now %2 mV/Pa).\n"
                                       "Use it as the microphone sensitivity of both channels?")
                                   .arg(*sens, 0, 'f', 2)
                                   .arg(m_calibration.MicSens_mVpPaL, 0, 'f', 2),
                               vl::mbYes | vl::mbNo, vl::mbYes) == vl::mbYes;
    if (!loadMicCalibration(name, take, &why)) vl::errorBox(why);
    else if (take) saveSettings();
}
