#pragma once

// The set-up shared by the tests that drive "Dettagli del prodotto" on the demo product
// QDG-100: a program folder of their own with the live preview's report, a fresh demo
// database per case with MROSSI logged on, the dialog recorder, the editor opened through the
// window registry, and the nodes found by their description. A test class derives from it
// besides QObject and calls its steps from initTestCase, init and cleanup.

#include "catalogue/dettagli_prodotto.h"
#include "catalogue/dettprodpanels.h"
#include "catalogue/dettprodtree.h"
#include "common/files.h"
#include "common/sessioninfo.h"
#include "common/windowregistry.h"
#include "controls/tkrtpopupmenu.h"
#include "tests/support/dialogrecorder.h"
#include "tests/support/programfolder.h"
#include "tests/support/testdatabase.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TDettProdFixture
{
protected:
    static inline const QString kUser = QStringLiteral("MROSSI");

    // initTestCase: the program folder with the preview's report.
    void PrepareHome()
    {
        QVERIFY(m_home.isValid());
        qputenv("VENTOREL_HOME", m_home.path().toUtf8());
        QVERIFY(CopyProgramReports(m_home.path(), {QStringLiteral("pdprwdet00.RPT")}));
    }

    // init: a fresh database, the recorder, the operator's session without saved settings.
    void LogOn()
    {
        m_db = std::make_unique<TTestDatabase>();
        m_db->LogOn(kUser);
        m_dialogs = std::make_unique<TDialogRecorder>();
        SessionInfo() = TSessionInfo();
        SessionInfo().sUserName = kUser;
        SessionInfo().sUserSettingsFile = ExeFolderPath(QStringLiteral("VentorelWin_MROSSI.ini"));
        QFile::remove(SessionInfo().sUserSettingsFile);
    }

    // cleanup: an open input given up, the editor closed and gone, the recorder and database
    // released.
    void CloseAll()
    {
        if (m_window) {
            if (m_window->PAN_DatiNodo->isVisible())
                QTest::mouseClick(m_window->PAN_DatiNodo->PB_Annulla_Input, Qt::LeftButton);
            m_window->close();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_dialogs.reset();
        m_db.reset();
    }

    QString Super(const QString &sql) const { return m_db->SuperQuery(sql); }

    QString ProductId() const
    {
        return Super(
            QStringLiteral("SELECT idprodotto FROM prodotti WHERE txcodprodotto = 'QDG-100'"));
    }

    // The first node of QDG-100 in tree order with that description.
    QString NodeId(const QString &description) const
    {
        return Super(
            QStringLiteral("SELECT n.idnodo FROM prodotti_nodi n JOIN prodotti p USING "
                           "(idprodotto) WHERE p.txcodprodotto = 'QDG-100' AND "
                           "n.txdescnodo = '%1' ORDER BY n.nuordera, n.nuorderb, n.nuorderc, "
                           "n.nuorderd LIMIT 1")
                .arg(QString(description).replace(QLatin1Char('\''), QStringLiteral("''"))));
    }

    TVRLDettProd *Node(const QString &description) const
    {
        TDettProdTreeItem *item = m_window->TV_Dettagli->FindTreeNode(NodeId(description));
        return item ? item->Node() : nullptr;
    }

    // The editor opened through the window registry on QDG-100, shown.
    TDETTAGLI_PRODOTTO *Open()
    {
        auto *w = qobject_cast<TDETTAGLI_PRODOTTO *>(
            CreateRegisteredWindow(QStringLiteral("DETTAGLI_PRODOTTO"), nullptr));
        if (!w)
            return nullptr;
        m_window = w;
        w->Start(false, ProductId(), QStringLiteral("QDG-100"), QStringLiteral("Quadro"), true);
        w->show();
        w->resize(1500, 900);
        return w;
    }

    // Runs the tree menu's entry on the node, as the operator's click does.
    void Menu(const QString &description, const char *action)
    {
        TVRLDettProd *node = Node(description);
        QVERIFY2(node, qPrintable(description));
        QVERIFY(m_window->PrepareTreeMenu(node));
        QAction *a = m_window->MenuAction(QLatin1String(action));
        QVERIFY(a);
        QVERIFY2(m_window->PMNU_Funzioni_Tree->actions().contains(a), action);
        a->trigger();
        QApplication::processEvents();
    }

    void Ok() { QTest::mouseClick(m_window->PAN_DatiNodo->PB_Ok_Input, Qt::LeftButton); }
    void Annulla() { QTest::mouseClick(m_window->PAN_DatiNodo->PB_Annulla_Input, Qt::LeftButton); }

    QTemporaryDir m_home;
    std::unique_ptr<TTestDatabase> m_db;
    std::unique_ptr<TDialogRecorder> m_dialogs;
    QPointer<TDETTAGLI_PRODOTTO> m_window;
};
