#pragma once

// What the application tests share: a program folder of their own whose global settings file
// points at a fresh test database, the dialog recorder, and helpers that act on windows as
// they appear (the splash, the modal logon).

#include "app/connectionsettings.h"
#include "app/do_logon.h"
#include "common/files.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "db/commandtext.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// The demo administrator's password is his user name, which the logon takes for a first
// logon; the tests give him a password of his own.
inline const QString kAdminPassword = QStringLiteral("gestore");

class TAppTestEnvironment
{
public:
    TAppTestEnvironment()
    {
        qputenv("VENTOREL_HOME", m_home.path().toUtf8());
        const TConnectionParams p = m_db.Params();
        SetGlobal(QStringLiteral("DbLogin"), p.login);
        SetGlobal(QStringLiteral("DbPassword"), p.password);
        SetGlobal(QStringLiteral("DbLocalSocket"), p.host);
        SetGlobal(QStringLiteral("DBxDebugKRT"), m_db.Name());
        m_db.SuperQuery(QStringLiteral("UPDATE Operatori SET txPassword = %1 WHERE txOperatore = "
                                       "'ADMIN'")
                            .arg(SqlText(PasswordToBase64(kAdminPassword))));
        SessionInfo() = TSessionInfo();
        SessionInfo().sSettingsFile = GlobalIni();
    }
    ~TAppTestEnvironment()
    {
        SessionInfo() = TSessionInfo();
        qunsetenv("VENTOREL_HOME");
    }
    TAppTestEnvironment(const TAppTestEnvironment &) = delete;
    TAppTestEnvironment &operator=(const TAppTestEnvironment &) = delete;

    TTestDatabase &Db() { return m_db; }
    TDialogRecorder &Recorder() { return m_recorder; }
    QString Home() const { return m_home.path(); }
    QString GlobalIni() const { return ExeFolderPath(QStringLiteral("VentorelWin.INI")); }
    QString UserIni(const QString &user) const
    {
        return ExeFolderPath(QStringLiteral("VentorelWin_") + user + QStringLiteral(".ini"));
    }
    void SetGlobal(const QString &key, const QString &value)
    {
        IniWriteText(QStringLiteral("SETTINGS"), key, value, GlobalIni());
    }
    QString Global(const QString &key) const
    {
        return IniReadText(QStringLiteral("SETTINGS"), key, QLatin1String(kIniAbsent), GlobalIni());
    }
    QString User(const QString &user, const QString &key) const
    {
        return IniReadText(QStringLiteral("SETTINGS"),
                           key,
                           QLatin1String(kIniAbsent),
                           UserIni(user));
    }

private:
    TTestDatabase m_db;
    QTemporaryDir m_home;
    TDialogRecorder m_recorder;
};

// Runs action once on the first visible top-level window with that object name, checking as
// the event loop turns (inside modal loops too).
inline void WhenShown(const QString &objectName, std::function<void(QWidget *)> action)
{
    auto *poll = new QTimer(qApp);
    poll->setObjectName(QStringLiteral("WhenShownPoll"));
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, objectName, action] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows) {
            if (w->isVisible() && w->objectName() == objectName) {
                poll->stop();
                poll->deleteLater();
                action(w);
                return;
            }
        }
    });
    poll->start();
}

// Drops the actions still waiting for their window (a test that failed half-way).
inline void CancelPendingActions()
{
    const QList<QTimer *> polls = qApp->findChildren<QTimer *>(QStringLiteral("WhenShownPoll"),
                                                               Qt::FindDirectChildrenOnly);
    for (QTimer *poll : polls) {
        poll->stop();
        poll->deleteLater();
    }
}

inline void TypeLogon(QWidget *logon, const QString &user, const QString &password)
{
    // Keys go to the active window: a window just shown may not be active yet.
    logon->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(logon));
    auto *u = logon->findChild<QLineEdit *>(QStringLiteral("EF_UserId"));
    auto *p = logon->findChild<QLineEdit *>(QStringLiteral("EF_Password"));
    u->clear();
    p->clear();
    QTest::keyClicks(u, user);
    QTest::keyClicks(p, password);
}

inline void ClickButton(QWidget *window, const char *name)
{
    auto *b = window->findChild<QPushButton *>(QLatin1String(name));
    QVERIFY2(b, name);
    b->click();
}

// Logs on when the logon window appears (an empty user cancels it instead).
inline void AnswerLogon(const QString &user, const QString &password)
{
    WhenShown(QStringLiteral("DO_LOGON"), [user, password](QWidget *logon) {
        if (user.isEmpty()) {
            // Cancelled even with the change panel open (its buttons then are disabled).
            if (auto *dialog = qobject_cast<QDialog *>(logon))
                dialog->reject();
            return;
        }
        TypeLogon(logon, user, password);
        ClickButton(logon, "PB_Ok");
        // A refused logon would wait for the operator: give up instead, the test then fails.
        if (logon->isVisible()) {
            if (auto *dialog = qobject_cast<QDialog *>(logon))
                dialog->reject();
        }
    });
}

// Closes the splash by a click as soon as it shows, then answers the logon.
inline void AnswerStartup(const QString &user, const QString &password)
{
    WhenShown(QStringLiteral("PGM_SPLASH"),
              [](QWidget *splash) { QTest::mouseClick(splash, Qt::LeftButton); });
    AnswerLogon(user, password);
}

// Saves a picture of the window when VENTOREL_GRAB_DIR names a folder.
inline void GrabIfAsked(QWidget *window, const QString &name)
{
    const QString dir = qEnvironmentVariable("VENTOREL_GRAB_DIR");
    if (!dir.isEmpty())
        window->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}
