// The wave synthesis dialog: the formula of the generator's synthesis mode, its variables,
// and the check that accepts them before the sound module may play them.
#pragma once

#include "dsp/TCalcExpress.h"
#include "soundDLLTypes.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// How one showing of the dialog ended.
enum class eWaveSynthResult { wsCancel = 0, wsOK = 1, wsApply = 2 };

// The dialog without widgets: the edited record, the grid's cells, the evaluator and the check.
// GUI thread only (the check shows messages).
class TWaveSynthesisModel {
public:
    static constexpr int kRows = kCalcMaxVars; // grid rows below the titles, at least

    int sfi = 48000;            // output sample rate, Hz
    TWaf dWaF{};                // the record being edited
    TCalcExpress CalcExpress;   // parses and runs the formula
    QStringList Variables;      // names accepted by the last check, upper-cased
    QStringList Values;         // value texts accepted by the last check
    QStringList names;          // grid column "Variable", rows 1, 2, ...
    QStringList values;         // grid column "Value"
    QStringList internals;      // grid column "internal Value": start value or phase step (rad)
    QString resultText = QStringLiteral("Calc Result:"); // text of LaResult
    QString timeText = QStringLiteral("Calc Time:");     // text of LaTime

    // Fills the grid cells from dWaF's lists and clears New and Valid.
    void activate();
    // The formula, stored in dWaF at once (cut at a character boundary to fit the record).
    void setFormula(const QString& f);
    QString formula() const;
    // Runs the check of the grid and the formula: 1 accepts (dWaF then holds the upper-cased
    // lists, New and Valid set); -1 rejects after a message. An empty formula gives the
    // message "No Function formula" and 1 all the same, with Valid left clear.
    double check();
    // Copies WaF in, fills the grid as on activation and runs the check; WaF then receives the
    // result (on success its lists upper-cased and New and Valid set, otherwise Valid clear).
    // Exactly 1 accepts the formula.
    double CheckWaf(TWaf& WaF);

private:
    void readLists();
    bool storeLists();
    double evaluate(long double* args);
    QString number(const char* format, double v) const;
};

// The dialog: formula edit, variable grid, result labels and the buttons "&Check ", OK,
// Cancel, "&Apply" and "&Help". GUI thread only.
class TFWaveSynthesis : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 501; // help topic of "&Help"
    static constexpr int kApplyResult = 2;   // dialog result of "&Apply"

    explicit TFWaveSynthesis(QWidget* parent = nullptr);

    // Set the sample rate and record (model.sfi, model.dWaF) first; activation then shows
    // them. Happens on every show.
    void activate();
    // Reads the grid, runs the model's check and shows its outcome.
    double check();
    // The model's CheckWaf, with the grid showing the outcome.
    double CheckWaf(TWaf& WaF);

    TWaveSynthesisModel model; // what the dialog edits

    QLabel* LaFormula;         // "Formula"
    QLineEdit* EdFormula;      // the formula; each edit goes to model.dWaF at once
    QTableWidget* StringGrid1; // "Variable", "Value", "internal Value"
    QLabel* LaResult;          // "Calc Result: ..."
    QLabel* LaTime;            // "Calc Time  : ...µs"
    QPushButton* CheckBtn;     // "&Check "
    QPushButton* OKBtn;        // closes with Accepted when the check passes
    QPushButton* CancelBtn;    // closes with Rejected
    QPushButton* ApplyBtn;     // closes with kApplyResult when the check passes
    QPushButton* HelpBtn;      // helpRequested(kHelpContext), or "no help available"

signals:
    void helpRequested(int context);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void readGrid();
    void writeGrid();
    void closeIfChecked(int result);
};

// Runs a TFWaveSynthesis modally and returns its result code; tests replace it.
using TFWaveSynthesisRunner = std::function<int(TFWaveSynthesis&)>;

// Shows the dialog for waf at the sample rate sfi until it closes with OK or Cancel: after OK
// and after each "&Apply" the edited record is copied back into waf, and "&Apply" shows the
// dialog again. Returns wsOK after OK, wsApply when the last copy came from "&Apply" and the
// dialog was then cancelled, wsCancel when nothing was copied back (waf unchanged).
eWaveSynthResult runWaveSynthesis(TFWaveSynthesis& dlg, TWaf& waf, int sfi,
                                  const TFWaveSynthesisRunner& run = {});
