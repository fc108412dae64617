// The wave synthesis dialog and its check.
#include "core/ui/TFWaveSynthesis.h"
#include "base/vlHelp.h"

#include "base/vlMessages.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// Text of a fixed-size record field; stops at the end of the field when it lacks a NUL.
QString fieldText(const char* field, size_t size)
{
    return QString::fromUtf8(field, qsizetype(strnlen(field, size)));
}

// Stores text in a fixed-size record field, cut at a character boundary when it is too long.
// False when it had to be cut.
template <size_t N>
bool setField(char (&field)[N], const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    size_t n = std::min<size_t>(size_t(utf8.size()), N - 1);
    const bool fits = n == size_t(utf8.size());
    while (!fits && n > 0 && (uchar(utf8[qsizetype(n)]) & 0xC0) == 0x80)
        --n; // do not split a UTF-8 sequence
    std::memcpy(field, utf8.constData(), n);
    std::memset(field + n, 0, N - n);
    return fits;
}

QString withoutBlanks(QString s)
{
    s.remove(QLatin1Char(' '));
    s.remove(QLatin1Char('\t'));
    return s;
}

QStringList splitField(const char* field, size_t size)
{
    QStringList parts = fieldText(field, size).split(QLatin1Char(';'));
    for (QString& p : parts)
        p = p.trimmed();
    while (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    return parts;
}

} // namespace

// ---- model

void TWaveSynthesisModel::activate()
{
    names = splitField(dWaF.VnameStr, sizeof dWaF.VnameStr);
    values = splitField(dWaF.VvalueStr, sizeof dWaF.VvalueStr);
    const qsizetype rows = std::max<qsizetype>({kRows, names.size(), values.size()});
    while (names.size() < rows)
        names.append(QString());
    while (values.size() < rows)
        values.append(QString());
    internals = QStringList(QList<QString>(rows));
    dWaF.New = 0;
    dWaF.Valid = 0;
}

void TWaveSynthesisModel::setFormula(const QString& f) { setField(dWaF.functionStr, f); }

QString TWaveSynthesisModel::formula() const
{
    return fieldText(dWaF.functionStr, sizeof dWaF.functionStr);
}

QString TWaveSynthesisModel::number(const char* format, double v) const
{
    QString s = QString::asprintf(format, v);
    return s.replace(QLatin1Char('.'), QLatin1Char(CalcExpress.decimalSeparator()));
}

// Step 1 of the check: the non-empty names upper-cased, the values that read as numbers.
void TWaveSynthesisModel::readLists()
{
    Variables.clear();
    Values.clear();
    for (const QString& cell : names) {
        const QString n = withoutBlanks(cell);
        if (!n.isEmpty())
            Variables.append(n.toUpper());
    }
    long double v = 0;
    for (const QString& cell : values) {
        const QString t = withoutBlanks(cell);
        if (!t.isEmpty() && CalcExpress.readValue(t.toStdString(), v))
            Values.append(t);
    }
}

// Runs the formula for one second plus one sample as the module would; returns the last value.
// Throws TCalcMathError.
double TWaveSynthesisModel::evaluate(long double* args)
{
    const int count = int(Variables.size()) - 1;
    long double value = 0;
    for (int i = 0; i <= sfi; ++i) {
        value = CalcExpress.calc(args, count);
        CalcExpress.doFreqInc(args);
    }
    return double(value);
}

bool TWaveSynthesisModel::storeLists()
{
    TWaf w = dWaF;
    if (!setField(w.VnameStr, Variables.join(QLatin1Char(';')))
        || !setField(w.VvalueStr, Values.join(QLatin1Char(';')))) {
        vl::errorBox(QStringLiteral("Variable list too long"));
        return false;
    }
    w.New = 1;
    w.Valid = 1;
    dWaF = w;
    return true;
}

double TWaveSynthesisModel::check()
{
    readLists();
    if (Variables.size() != Values.size()) {
        vl::errorBox(QStringLiteral("Variable count must be equal thenvalue count"));
        return -1;
    }
    if (formula().trimmed().isEmpty()) {
        vl::errorBox(QStringLiteral("No Function formula"));
        return 1;
    }
    if (Values.isEmpty()) {
        vl::errorBox(QStringLiteral("No Variable found"));
        return -1;
    }
    CalcExpress.parseVariString(Variables.join(QLatin1Char(';')).toStdString());
    CalcExpress.parseValueString(Values.join(QLatin1Char(';')).toStdString());
    long double args[kCalcMaxVars] = {};
    if (CalcExpress.prepareFreqArgs(args, sfi, formula().toStdString()) != 1) {
        const QString why = QString::fromStdString(CalcExpress.lastError());
        vl::errorBox(why.isEmpty() ? QStringLiteral("Error in formula")
                                   : QStringLiteral("Error in formula\n") + why);
        return -1;
    }
    // "internal Value": the phase step of a frequency, the value of a constant.
    for (qsizetype i = 0; i < internals.size(); ++i) {
        const long double step = CalcExpress.increment(int(i));
        internals[i] = i < Variables.size() ? number("%g", double(step != 0 ? step : args[i])) : QString();
    }
    double last = 0;
    const auto t0 = std::chrono::steady_clock::now();
    try {
        last = evaluate(args);
    } catch (const TCalcMathError& e) {
        vl::errorBox(QString::fromUtf8(e.what()));
        return -1;
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    resultText = number("Calc Result: %1.4f", last);
    timeText = number("Calc Time  : %f\u00b5s", ms * 1000 / (2.0 * sfi));
    return storeLists() ? 1 : -1;
}

double TWaveSynthesisModel::CheckWaf(TWaf& WaF)
{
    dWaF = WaF;
    activate();
    const double result = check();
    WaF = dWaF;
    return result;
}

// ---- dialog

TFWaveSynthesis::TFWaveSynthesis(QWidget* parent)
    : QDialog(parent),
      LaFormula(new QLabel(QStringLiteral("Formula"), this)),
      EdFormula(new QLineEdit(this)),
      StringGrid1(new QTableWidget(TWaveSynthesisModel::kRows, 3, this)),
      LaResult(new QLabel(QStringLiteral("Calc Result:"), this)),
      LaTime(new QLabel(QStringLiteral("Calc Time:"), this)),
      CheckBtn(new QPushButton(QStringLiteral("&Check "), this)),
      OKBtn(new QPushButton(QStringLiteral("OK"), this)),
      CancelBtn(new QPushButton(QStringLiteral("Cancel"), this)),
      ApplyBtn(new QPushButton(QStringLiteral("&Apply"), this)),
      HelpBtn(new QPushButton(QStringLiteral("&Help"), this))
{
    setWindowTitle(QStringLiteral("Wave Synthesis"));
    setObjectName(QStringLiteral("FWaveSynthesis"));
    EdFormula->setObjectName(QStringLiteral("EdFormula"));
    EdFormula->setMaxLength(VL_TWAF_FUNC_LEN - 1);
    LaFormula->setBuddy(EdFormula);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setHorizontalHeaderLabels(
        {QStringLiteral("Variable"), QStringLiteral("Value"), QStringLiteral("internal Value")});
    StringGrid1->horizontalHeader()->setStretchLastSection(true);
    OKBtn->setDefault(true);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {CheckBtn, OKBtn, CancelBtn, ApplyBtn})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(HelpBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LaFormula);
    layout->addWidget(EdFormula);
    layout->addWidget(StringGrid1);
    layout->addWidget(LaResult);
    layout->addWidget(LaTime);
    layout->addLayout(buttons);

    connect(EdFormula, &QLineEdit::textChanged, this, [this](const QString& t) { model.setFormula(t); });
    connect(CheckBtn, &QPushButton::clicked, this, [this] { check(); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { closeIfChecked(QDialog::Accepted); });
    connect(ApplyBtn, &QPushButton::clicked, this, [this] { closeIfChecked(kApplyResult); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(HelpBtn, &QPushButton::clicked, this, [this] {
        if (isSignalConnected(QMetaMethod::fromSignal(&TFWaveSynthesis::helpRequested)))
            emit helpRequested(kHelpContext);
        else if (!vl::showHelp(kHelpContext))
            vl::infoBox(QStringLiteral("no help available"));
    });
}

void TFWaveSynthesis::activate()
{
    model.activate();
    EdFormula->setText(model.formula());
    writeGrid();
}

void TFWaveSynthesis::showEvent(QShowEvent* event)
{
    activate();
    QDialog::showEvent(event);
}

void TFWaveSynthesis::readGrid()
{
    auto cell = [this](int r, int c) {
        const QTableWidgetItem* it = StringGrid1->item(r, c);
        return it ? it->text() : QString();
    };
    const int rows = StringGrid1->rowCount();
    model.names.clear();
    model.values.clear();
    for (int r = 0; r < rows; ++r) {
        model.names.append(cell(r, 0));
        model.values.append(cell(r, 1));
    }
    model.internals = QStringList(QList<QString>(rows));
}

void TFWaveSynthesis::writeGrid()
{
    const int rows = int(model.names.size());
    StringGrid1->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const QString texts[3] = {model.names.value(r), model.values.value(r), model.internals.value(r)};
        for (int c = 0; c < 3; ++c)
            StringGrid1->setItem(r, c, new QTableWidgetItem(texts[c]));
    }
    LaResult->setText(model.resultText);
    LaTime->setText(model.timeText);
}

double TFWaveSynthesis::check()
{
    readGrid();
    const double result = model.check();
    writeGrid();
    return result;
}

double TFWaveSynthesis::CheckWaf(TWaf& WaF)
{
    const double result = model.CheckWaf(WaF);
    EdFormula->setText(model.formula());
    writeGrid();
    return result;
}

void TFWaveSynthesis::closeIfChecked(int result)
{
    if (check() > 0)
        done(result);
}

eWaveSynthResult runWaveSynthesis(TFWaveSynthesis& dlg, TWaf& waf, int sfi, const TFWaveSynthesisRunner& run)
{
    eWaveSynthResult outcome = eWaveSynthResult::wsCancel;
    for (;;) {
        dlg.model.sfi = sfi;
        dlg.model.dWaF = waf;
        const int r = run ? run(dlg) : dlg.exec();
        if (r != QDialog::Accepted && r != TFWaveSynthesis::kApplyResult)
            return outcome;
        waf = dlg.model.dWaF;
        if (r == QDialog::Accepted)
            return eWaveSynthResult::wsOK;
        outcome = eWaveSynthResult::wsApply;
    }
}
