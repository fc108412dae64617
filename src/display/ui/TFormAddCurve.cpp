// The "Add Curves" confirmation dialog.
#include "display/ui/TFormAddCurve.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* curveLabel(const QString& text, TColorBGR c, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, bgrToQColor(c));
    l->setPalette(p);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

} // namespace

TFormAddCurve::TFormAddCurve(TColorBGR dColCurve1, const QString& dTexCurve1, TColorBGR dColCurve2,
                             const QString& dTexCurve2, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("Add Curves");
    LaCurve1 = curveLabel(dTexCurve1, dColCurve1, this);
    LaAdded = new QLabel("is added to ", this);
    LaCurve2 = curveLabel(dTexCurve2, dColCurve2, this);
    LaProceed = new QLabel("Proceed ?", this);
    YesBtn = new QPushButton("Yes", this);
    NoBtn = new QPushButton("No", this);
    YesBtn->setDefault(true);
    auto* line = new QHBoxLayout;
    for (QLabel* l : {LaCurve1, LaAdded, LaCurve2})
        line->addWidget(l);
    line->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(YesBtn);
    buttons->addWidget(NoBtn);
    auto* v = new QVBoxLayout(this);
    v->addLayout(line);
    v->addWidget(LaProceed);
    v->addLayout(buttons);
    connect(YesBtn, &QPushButton::clicked, this, [this] { done(kYesResult); });
    connect(NoBtn, &QPushButton::clicked, this, &TFormAddCurve::reject);
}

QString TFormAddCurve::curveText(int slot) {
    return "curve " + QString::number(slot + 1);
}

void TFormAddCurve::reject() {
    done(kNoResult);
}
