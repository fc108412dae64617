// The recently used preset files under the "&Presets" menu, kept in the history file.
#pragma once

#include "base/TMemIniFile.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QMenu;

// The menu shows the most recent entry in the template item Rec and the others in items
// appended after it; clicking one executes its file. The list is read from the history INI at
// creation and written back when the object is destroyed. GUI thread only.
class Trecent {
public:
    using Executor = std::function<void(const QString& name)>;

    // CreateN: opens the history file named iniFile (owned), hides Rec, reads the list and
    // builds the menu. Rec must be an item of Hmenu.
    Trecent(QMenu* Hmenu, QAction* Rec, const QString& iniFile, Executor exec);
    // Create: the same on an INI object the caller owns (and saves).
    Trecent(QMenu* Hmenu, QAction* Rec, TMemIniFile* ini, Executor exec);
    // Writes the list into the INI; a history file the list opened itself is saved (a write
    // error is ignored).
    ~Trecent();
    Trecent(const Trecent&) = delete;
    Trecent& operator=(const Trecent&) = delete;

    // Ignored for a name holding '*'; otherwise the name goes to the top and the menu is rebuilt.
    void Add2RecentFileList(const QString& name);
    const QStringList& list() const { return Liste; }
    // The items showing the list, most recent first (Rec and those after it).
    QList<QAction*> items() const;

private:
    void connectItem(QAction* a);
    void rebuild();

    QStringList Liste;                    // most recent first
    std::unique_ptr<TMemIniFile> m_ownIni; // the history file when the list opened it
    TMemIniFile* IniF = nullptr;          // the history INI (owned by m_ownIni or the caller)
    QAction* Rec = nullptr;               // template item: shows entry 0
    QMenu* Hmenu = nullptr;               // the menu holding Rec
    bool iniSelfMade = false;             // the list opened the history file and saves it
    Executor m_exec;                      // executes a chosen entry
    QList<QMetaObject::Connection> m_links; // the items' clicks, cut when the list goes
};
