#pragma once

// What the master data tests share: a program folder of their own (VENTOREL_HOME), a fresh
// demo database, the dialog recorder, the session of a logged-on demo operator, and helpers
// that act on the windows as an operator does.

#include "common/files.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtgridmenu.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrtpopupmenu.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The demo companies.
inline const QString kSoc1 = QStringLiteral("{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}");
inline const QString kSoc2 = QStringLiteral("{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1002}");

// The demo operators the tests log on as.
enum class TDemoOperator {
    Admin,      // ADMIN: administrator of the first company
    Operator,   // MROSSI: plain operator of the first company
    Funzionario // GBIANCHI: "funzionario" without a company
};

class TMasterDataEnvironment
{
public:
    explicit TMasterDataEnvironment(TDemoOperator who = TDemoOperator::Admin)
    {
        qputenv("VENTOREL_HOME", m_home.path().toUtf8());
        LogOn(who);
    }
    ~TMasterDataEnvironment()
    {
        SessionInfo() = TSessionInfo();
        qunsetenv("VENTOREL_HOME");
    }
    TMasterDataEnvironment(const TMasterDataEnvironment &) = delete;
    TMasterDataEnvironment &operator=(const TMasterDataEnvironment &) = delete;

    // The session as the logon leaves it for that operator.
    void LogOn(TDemoOperator who)
    {
        TSessionInfo &s = SessionInfo();
        s = TSessionInfo();
        switch (who) {
        case TDemoOperator::Admin:
            s.sUserName = QStringLiteral("ADMIN");
            s.sOperatorCompanyId = kSoc1;
            s.bAdministrator = true;
            break;
        case TDemoOperator::Operator:
            s.sUserName = QStringLiteral("MROSSI");
            s.sOperatorCompanyId = kSoc1;
            break;
        case TDemoOperator::Funzionario:
            s.sUserName = QStringLiteral("GBIANCHI");
            s.bFunzionario = true;
            break;
        }
        s.sSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin.INI"));
        s.sUserSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin_") + s.sUserName
                                            + QStringLiteral(".ini"));
        // And his operator session on the server, as the logon leaves it.
        m_db.LogOn(s.sUserName);
    }

    TTestDatabase &Db() { return m_db; }
    TDialogRecorder &Recorder() { return m_recorder; }
    QString Home() const { return m_home.path(); }
    QString Setting(const QString &key) const
    {
        return IniReadText(QStringLiteral("SETTINGS"),
                           key,
                           QLatin1String(kIniAbsent),
                           SessionInfo().sUserSettingsFile);
    }
    void SetSetting(const QString &key, const QString &value)
    {
        IniWriteText(QStringLiteral("SETTINGS"), key, value, SessionInfo().sUserSettingsFile);
    }
    QString Super(const QString &sql) const { return m_db.SuperQuery(sql); }
    QString LastCommand() { return m_db.Module().LastCommandText(); }

private:
    QTemporaryDir m_home;
    TTestDatabase m_db;
    TDialogRecorder m_recorder;
};

// The actions of a popup and its submenus, depth first.
inline QList<QAction *> PopupActions(QMenu *menu)
{
    QList<QAction *> all;
    for (QAction *a : menu->actions()) {
        all << a;
        if (a->menu())
            all << PopupActions(a->menu());
    }
    return all;
}

// The captions the grid's popup offers for its current row (separators as "-").
inline QStringList MenuCaptions(TKRTGrid *grid)
{
    grid->OpenPopupAt(0, QPoint(10, 10));
    QStringList captions;
    if (TKRTPopupMenu *popup = grid->PopupMenu()) {
        for (QAction *a : PopupActions(popup))
            captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
        popup->close();
    }
    return captions;
}

// Chooses the entry of the grid's popup with that caption, as the operator does.
inline bool ChooseMenu(TKRTGrid *grid, const QString &caption)
{
    grid->OpenPopupAt(0, QPoint(10, 10));
    TKRTPopupMenu *popup = grid->PopupMenu();
    if (!popup)
        return false;
    for (QAction *a : PopupActions(popup)) {
        if (!a->isSeparator() && a->text() == caption && a->isVisible() && a->isEnabled()) {
            popup->close();
            a->trigger();
            return true;
        }
    }
    popup->close();
    return false;
}

// Types into a labelled edit as the operator does (the field's own case and length rules
// apply), after emptying it. Every character is a key press carrying its text, accented ones
// included.
inline void TypeInto(TKRTLabelEdit *edit, const QString &text)
{
    QVERIFY(edit);
    edit->ClearField();
    QWidget *target = edit->Edit();
    target->setFocus();
    for (const QChar c : text) {
        const int key = c.unicode() < 128 && c.isLetterOrNumber() ? c.toUpper().unicode()
                                                                  : int(Qt::Key_unknown);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &release);
    }
    edit->Edit()->ValidateDisplayed();
}

// The control that has the focus inside its window (the offscreen windows are not active).
inline bool HasFocus(QWidget *control)
{
    return control && control->window()->focusWidget() == control;
}

// The current row's value of a field of the grid's dataset.
inline QString CurrentValue(TKRTGrid *grid, const QString &field)
{
    TDataSet *ds = grid->DataSet();
    if (!ds || ds->RecordCount() == 0)
        return QString();
    return ds->FieldByName(field).AsString();
}

// Rows of the grid's dataset whose field equals the value (ignoring case).
inline int CountRows(TKRTGrid *grid, const QString &field, const QString &value)
{
    TDataSet *ds = grid->DataSet();
    if (!ds)
        return 0;
    const int column = ds->FieldIndex(field);
    int n = 0;
    for (int r = 0; r < ds->RecordCount(); ++r) {
        if (ds->ValueAt(r, column).toString().compare(value, Qt::CaseInsensitive) == 0)
            ++n;
    }
    return n;
}
