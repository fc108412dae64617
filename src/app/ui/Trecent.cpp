// The recently used preset files under the "&Presets" menu, kept in the history file.
#include "app/ui/Trecent.h"

#include "app/recentList.h"

#include <QAction>
#include <QMenu>

Trecent::Trecent(QMenu* Hmenu, QAction* Rec, const QString& iniFile, Executor exec)
    : Trecent(Hmenu, Rec, static_cast<TMemIniFile*>(nullptr), std::move(exec))
{
    m_ownIni = std::make_unique<TMemIniFile>(iniFile);
    IniF = m_ownIni.get();
    iniSelfMade = true;
    Liste = readRecentList(*IniF);
    rebuild();
}

Trecent::Trecent(QMenu* Hmenu, QAction* Rec, TMemIniFile* ini, Executor exec)
    : IniF(ini), Rec(Rec), Hmenu(Hmenu), m_exec(std::move(exec))
{
    Rec->setVisible(false);
    connectItem(Rec);
    if (!IniF) return;
    Liste = readRecentList(*IniF);
    rebuild();
}

Trecent::~Trecent()
{
    for (const QMetaObject::Connection& c : m_links) QObject::disconnect(c);
    if (!IniF) return;
    writeRecentList(*IniF, Liste);
    if (iniSelfMade) IniF->UpdateFile(); // an unwritable history file stays as it was
}

void Trecent::Add2RecentFileList(const QString& name)
{
    if (addRecentName(Liste, name)) rebuild();
}

QList<QAction*> Trecent::items() const
{
    const QList<QAction*> all = Hmenu->actions();
    const qsizetype at = all.indexOf(Rec);
    return at < 0 || !Rec->isVisible() ? QList<QAction*>() : all.mid(at);
}

void Trecent::connectItem(QAction* a)
{
    m_links << QObject::connect(a, &QAction::triggered, Hmenu, [this, a] {
        if (m_exec) m_exec(recentNameFromCaption(a->text()));
    });
}

void Trecent::rebuild()
{
    if (Liste.isEmpty()) return;
    tidyRecentList(Liste);
    Rec->setText(recentCaption(Liste.first()));
    Rec->setVisible(true);
    const QList<QAction*> all = Hmenu->actions();
    for (qsizetype i = all.indexOf(Rec) + 1; i < all.size(); ++i) {
        Hmenu->removeAction(all[i]);
        all[i]->deleteLater(); // it may be the item whose click is running now
    }
    for (qsizetype i = 1; i < Liste.size(); ++i) {
        QAction* a = Hmenu->addAction(recentCaption(Liste[i]));
        connectItem(a);
    }
}
