// A small list window built the way the program's list windows are: filters, an extraction
// into an in-memory dataset, the grid with a user menu rebuilt before every popup, row
// colours, the record zoom of chosen fields, and the standard part of the menu for find,
// export and column layouts. The test uses it as an operator would.

#include "common/sessioninfo.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtgridfindform.h"
#include "controls/tkrtgridmenu.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrtzoomgridexform.h"
#include "controls/tspecombobox.h"
#include "db/dataset.h"
#include "tests/support/dialogrecorder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QStringList kListColumns{"txCodCliente", "txDenominazione", "txProvincia", "dtMod"};
const QStringList kInfoColumns{"txCodCliente", "txDenominazione", "txUtenteMod", "dtMod"};

// The customers of the demo: a few thousand rows held by the window as its "server".
std::unique_ptr<TDataSet> MakeCustomers(int rows)
{
    auto ds = std::make_unique<TDataSet>();
    const struct
    {
        const char *name;
        TFieldType type;
        const char *label;
    } fields[] = {{"idCliente", TFieldType::Text, "Id"},
                  {"txCodCliente", TFieldType::Text, "Codice"},
                  {"txDenominazione", TFieldType::Text, "Ragione Sociale"},
                  {"txProvincia", TFieldType::Text, "Provincia"},
                  {"flAttivo", TFieldType::Flag, "Attivo"},
                  {"txUtenteMod", TFieldType::Text, "Da"},
                  {"dtMod", TFieldType::DateTime, "Modificato il"}};
    for (const auto &f : fields) {
        TFieldDef d;
        d.name = QString::fromLatin1(f.name);
        d.type = f.type;
        d.displayLabel = QString::fromUtf8(f.label);
        ds->AddFieldDef(d);
    }
    ds->CreateDataSet();
    const QStringList names{"Acciaierie", "Bulloneria", "Carpenteria", "Domotica", "Elettrica"};
    const QStringList provinces{"MI", "TO", "RM", "BG"};
    for (int i = 0; i < rows; ++i) {
        ds->Append();
        ds->Fields(0).SetValue(QStringLiteral("{%1}").arg(i, 8, 16, QLatin1Char('0')));
        ds->Fields(1).SetValue(QStringLiteral("CL%1").arg(i, 5, 10, QLatin1Char('0')));
        ds->Fields(2).SetValue(names.at(i % names.size()) + QStringLiteral(" Nord ")
                               + QString::number(i));
        ds->Fields(3).SetValue(provinces.at(i % provinces.size()));
        ds->Fields(4).SetValue(i % 50 != 0);
        ds->Fields(5).SetValue(QStringLiteral("OPERATORE"));
        ds->Fields(6).SetValue(QDateTime(QDate(2023, 1, 1).addDays(i % 365), QTime(9, 30)));
        ds->Post();
    }
    return ds;
}

class TDEMO_LISTA_CLIENTI : public QWidget
{
public:
    explicit TDEMO_LISTA_CLIENTI(TDataSet *server)
        : m_server(server)
    {
        setObjectName(QStringLiteral("TDEMO_LISTA_CLIENTI"));
        setWindowTitle(QStringLiteral("Gestione anagrafiche clienti"));
        auto *layout = new QVBoxLayout(this);
        EF_Find_Denominazione = new TKRTLabelEdit(QStringLiteral("EF_Find_Denominazione"),
                                                  QStringLiteral("Ragione Sociale "),
                                                  this);
        EF_Find_Denominazione->SetCaptionWidth(110);
        EF_Find_Denominazione->SetEditWidth(200);
        layout->addWidget(EF_Find_Denominazione);
        SCB_Find_Provincia = new TSPEComboBox(this);
        SCB_Find_Provincia->setObjectName(QStringLiteral("SCB_Find_Provincia"));
        SCB_Find_Provincia->SetCaptionString(QStringLiteral("Provincia"));
        SCB_Find_Provincia->SetCaptionWidth(60);
        SCB_Find_Provincia->SetAllowNothing(true);
        SCB_Find_Provincia->Reset();
        TDataSet *q = SCB_Find_Provincia->qry();
        q->AddFieldDef(QStringLiteral("Codice"), TFieldType::Text, 2);
        q->AddFieldDef(QStringLiteral("Descrizione"), TFieldType::Text, 40);
        q->CreateDataSet();
        for (const auto &[code, name] : {std::pair{"MI", "MILANO"},
                                         std::pair{"TO", "TORINO"},
                                         std::pair{"RM", "ROMA"},
                                         std::pair{"BG", "BERGAMO"}}) {
            q->Append();
            q->Fields(0).SetValue(QString::fromLatin1(code));
            q->Fields(1).SetValue(QString::fromLatin1(name));
            q->Post();
        }
        SCB_Find_Provincia->Active(true);
        layout->addWidget(SCB_Find_Provincia);
        PB_EstraiElenco = new QPushButton(QStringLiteral("Estrai elenco"), this);
        PB_EstraiElenco->setObjectName(QStringLiteral("PB_EstraiElenco"));
        layout->addWidget(PB_EstraiElenco);

        DG_Clienti = new TKRTGrid(this);
        DG_Clienti->setObjectName(QStringLiteral("DG_Clienti"));
        DG_Clienti->SetRowSelect(true);
        layout->addWidget(DG_Clienti, 1);
        SF_Status = new QLabel(this);
        SF_Status->setObjectName(QStringLiteral("SF_Status"));
        layout->addWidget(SF_Status);

        QPixmap info(12, 12);
        info.fill(QColor(0x37, 0x6E, 0xA1));
        m_images << info;

        connect(PB_EstraiElenco, &QPushButton::clicked, this, [this] { EstraiElenco(); });
        DG_Clienti->OnBeforePopUpMenu = [this](TKRTGrid *g) { BuildMenu(g); };
        DG_Clienti->OnUserMenuSelect = [this](TKRTGrid *g) { MenuChosen(g); };
        DG_Clienti->OnDrawColumnCell = [this](TKRTGrid *, TKRTDrawCellArgs &a) { DrawRow(a); };
        resize(900, 600);
    }
    ~TDEMO_LISTA_CLIENTI() override { DG_Clienti->SetDataSet(nullptr); }

    void EstraiElenco()
    {
        QStringList terms;
        QString den = EF_Find_Denominazione->Text();
        if (!den.isEmpty())
            terms << QStringLiteral("txDenominazione LIKE '%") + den.replace('\'', "''")
                         + QStringLiteral("%'");
        if (SCB_Find_Provincia->IsSelect())
            terms << QStringLiteral("txProvincia = '") + SCB_Find_Provincia->Text()
                         + QStringLiteral("'");
        // The grid lets go of the previous copy before it is freed.
        DG_Clienti->SetDataSet(nullptr);
        m_list = m_server->Clone();
        m_list->SetFilter(terms.join(QStringLiteral(" AND ")));
        m_list->SetFiltered(!terms.isEmpty());
        m_list->SetSort(QStringLiteral("txDenominazione"));
        ShowListColumns();
        DG_Clienti->SetDataSet(m_list.get());
        DG_Clienti->SortedColumns = kListColumns;
        DG_Clienti->SortedColumns << QStringLiteral("*STOP*");
        DG_Clienti->PaintSortedColumnsEx();
        DG_Clienti->SetColumnTitleAlignment(0, Qt::AlignCenter);
        DG_Clienti->SetEnableUserLayOut(true);
        DG_Clienti->ShrinkColumnsWidth();
        SF_Status->setText(QStringLiteral(" N° Clienti: %1 ")
                               .arg(QLocale(QLocale::Italian).toString(m_list->RecordCount())));
    }

    void ShowListColumns()
    {
        for (int i = 0; i < m_list->FieldCount(); ++i)
            m_list->Fields(i).SetVisible(kListColumns.contains(m_list->FieldNames().at(i)));
    }

    void BuildMenu(TKRTGrid *g)
    {
        g->ShowStandardMenu = true;
        g->ShowUserMenu = true;
        g->UserMenuPosition = umpKRTTop;
        g->GridMenu()->Clear();
        g->UserMenu.clear();
        g->SideBarCaption = QStringLiteral(" ");
        g->BackGroundColor = QColor(0xC0, 0xC0, 0xC0);
        g->BackGroundColorTo = QColor(0xF5, 0xF5, 0xF5);
        AddGridMenuItem(g->GridMenu(), QStringLiteral("Nuovo cliente"), 0);
        if (m_list && m_list->RecordCount() > 0) {
            AddGridMenuItem(g->GridMenu(), QStringLiteral("Modifica"), 0);
            const bool active = m_list->FieldByName(QStringLiteral("flAttivo")).AsBoolean();
            AddGridMenuItem(g->GridMenu(),
                            active ? QStringLiteral("Disattiva") : QStringLiteral("Riattiva"),
                            0);
            g->GridMenu()->AppendSeparator();
            AddGridMenuItem(g->GridMenu(), QStringLiteral("Info supplementari"), 0, 0, &m_images);
            if (SessionInfo().bDeveloperMode) {
                g->GridMenu()->AppendSeparator();
                AddGridMenuItem(g->GridMenu(), QStringLiteral("Copia Id in clipboard"), 255);
            }
        }
        g->SetPopUpMenu();
    }

    void MenuChosen(TKRTGrid *g)
    {
        const QString caption = g->GridMenuSelected()->Caption;
        lastCommand = caption;
        if (caption == QLatin1String("Disattiva") || caption == QLatin1String("Riattiva")) {
            m_list->Edit();
            m_list->FieldByName(QStringLiteral("flAttivo"))
                .SetValue(caption == QLatin1String("Riattiva"));
            m_list->Post();
        } else if (caption == QLatin1String("Info supplementari")) {
            for (int i = 0; i < m_list->FieldCount(); ++i)
                m_list->Fields(i).SetVisible(kInfoColumns.contains(m_list->FieldNames().at(i)));
            const QStringList listOrder = g->SortedColumns;
            g->SortedColumns = kInfoColumns;
            const QRect area = screen()->availableGeometry();
            zoom = g->ZoomGridEx(QStringLiteral("Informazioni aggiuntive cliente selezionato"),
                                 400,
                                 qRound(area.width() * 0.7),
                                 qRound(area.height() * 0.7));
            g->SortedColumns = listOrder;
            ShowListColumns();
        } else if (caption == QLatin1String("Copia Id in clipboard")) {
            QApplication::clipboard()->setText(
                m_list->FieldByName(QStringLiteral("idCliente")).AsString());
        }
    }

    void DrawRow(TKRTDrawCellArgs &a)
    {
        a.FontColor = Qt::black;
        a.Background = ((a.Row + 1) % 2 == 1) ? QColor(Qt::white) : QColor(0xF0, 0xF0, 0xF0);
        if (!m_list->ValueAt(a.Row, m_list->FieldIndex(QStringLiteral("flAttivo"))).toBool()) {
            a.FontColor = Qt::red;
            a.Font.setBold(true);
        }
    }

    TKRTLabelEdit *EF_Find_Denominazione = nullptr;
    TSPEComboBox *SCB_Find_Provincia = nullptr;
    QPushButton *PB_EstraiElenco = nullptr;
    TKRTGrid *DG_Clienti = nullptr;
    QLabel *SF_Status = nullptr;
    QString lastCommand;
    QWidget *zoom = nullptr; // Not owned: frees itself when closed.
    TDataSet *List() const { return m_list.get(); }

private:
    TDataSet *m_server; // Not owned.
    std::unique_ptr<TDataSet> m_list;
    QList<QPixmap> m_images;
};

} // namespace

class tst_DemoListWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void operatorSession();
    void layoutSurvivesReopening();

private:
    std::unique_ptr<TDEMO_LISTA_CLIENTI> Open();
    QAction *PopupAction(TDEMO_LISTA_CLIENTI *w, int row, const QString &name);

    TDialogRecorder m_noModal;
    QTemporaryDir m_home;
    std::unique_ptr<TDataSet> m_server;
};

void tst_DemoListWindow::initTestCase()
{
    qputenv("VENTOREL_HOME", m_home.path().toUtf8());
    SessionInfo().sUserName = QStringLiteral("ADMIN");
    SessionInfo().bDeveloperMode = true;
    m_server = MakeCustomers(3000);
}

void tst_DemoListWindow::cleanupTestCase()
{
    SessionInfo().bDeveloperMode = false;
}

std::unique_ptr<TDEMO_LISTA_CLIENTI> tst_DemoListWindow::Open()
{
    auto w = std::make_unique<TDEMO_LISTA_CLIENTI>(m_server.get());
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w.get()))
        return nullptr;
    QTest::mouseClick(w->PB_EstraiElenco, Qt::LeftButton);
    return w;
}

QAction *tst_DemoListWindow::PopupAction(TDEMO_LISTA_CLIENTI *w, int row, const QString &name)
{
    TKRTGrid *g = w->DG_Clienti;
    g->scrollTo(g->model()->index(row, 1));
    QTest::mouseClick(g->viewport(),
                      Qt::RightButton,
                      {},
                      g->visualRect(g->model()->index(row, 1)).center());
    if (!g->PopupMenu())
        return nullptr;
    for (QAction *a : g->PopupMenu()->findChildren<QAction *>()) {
        if (a->text() == name || a->objectName() == name)
            return a;
    }
    return nullptr;
}

void tst_DemoListWindow::operatorSession()
{
    TDialogRecorder recorder;
    auto w = Open();
    QVERIFY(w);
    TKRTGrid *g = w->DG_Clienti;
    QCOMPARE(g->model()->rowCount(), 3000);
    QCOMPARE(w->SF_Status->text(), QStringLiteral(" N° Clienti: 3.000 "));
    QCOMPARE(g->ColumnCount(), 4);
    QCOMPARE(g->model()->index(0, 1).data().toString(), QStringLiteral("Acciaierie Nord 0"));

    // Filters: name part and province.
    w->EF_Find_Denominazione->SetText(QStringLiteral("carpenteria"));
    w->SCB_Find_Provincia->SetText(QStringLiteral("RM"));
    QTest::mouseClick(w->PB_EstraiElenco, Qt::LeftButton);
    QCOMPARE(g->model()->rowCount(), 150); // i % 5 == 2 and i % 4 == 2
    w->EF_Find_Denominazione->SetText(QString());
    w->SCB_Find_Provincia->ClearField();
    QTest::mouseClick(w->PB_EstraiElenco, Qt::LeftButton);
    QCOMPARE(g->model()->rowCount(), 3000);

    // The user menu follows the row: row "Acciaierie Nord 0" is inactive.
    QAction *a = PopupAction(w.get(), 0, QStringLiteral("Riattiva"));
    QVERIFY(a);
    QCOMPARE(a->objectName(), QStringLiteral("MNUUser02"));
    QVERIFY(PopupAction(w.get(), 0, QStringLiteral("MNUFind"))); // standard part below
    QVERIFY(PopupAction(w.get(), 0, QStringLiteral("Copia Id in clipboard")));
    a = PopupAction(w.get(), 1, QStringLiteral("Disattiva"));
    QVERIFY(a);
    a->trigger();
    g->PopupMenu()->close();
    QCOMPARE(w->lastCommand, QStringLiteral("Disattiva"));
    QVERIFY(!w->List()->FieldByName(QStringLiteral("flAttivo")).AsBoolean());
    QVERIFY(PopupAction(w.get(), 1, QStringLiteral("Riattiva")));
    g->PopupMenu()->close();
    // Drawn red and bold now (row 1 is not selected: row 0 is clicked first).
    g->selectionModel()->setCurrentIndex(g->model()->index(5, 0),
                                         QItemSelectionModel::ClearAndSelect
                                             | QItemSelectionModel::Rows);
    const QImage shot = g->viewport()->grab().toImage();
    bool red = false;
    const int y = g->rowViewportPosition(1) + g->rowHeight(1) / 2;
    for (int x = g->columnViewportPosition(1); x < g->columnViewportPosition(2); ++x)
        red = red || shot.pixelColor(x, y) == QColor(Qt::red);
    QVERIFY(red);

    // Sorting by title clicks: the list comes sorted by name, so the first click reverses it.
    const int den = g->ColumnIndexByFieldName(QStringLiteral("txDenominazione"));
    QHeaderView *h = g->horizontalHeader();
    const QPoint title(h->sectionViewportPosition(den) + 5, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, title);
    QCOMPARE(w->List()->Sort(), QStringLiteral("txDenominazione DESC"));
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, title);
    QCOMPARE(w->List()->Sort(), QStringLiteral("txDenominazione ASC"));
    QCOMPARE(g->model()->index(0, den).data().toString(), QStringLiteral("Acciaierie Nord 0"));
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, title);
    QCOMPARE(w->List()->Sort(), QStringLiteral("txDenominazione DESC"));
    QCOMPARE(g->model()->index(0, den).data().toString(), QStringLiteral("Elettrica Nord 999"));

    // Type-ahead in the name column, then the find dialog.
    g->EnableCellFind = true;
    g->setCurrentIndex(g->model()->index(0, den));
    g->setFocus();
    QTest::keyClicks(g, QStringLiteral("bull"));
    QVERIFY(w->List()
                ->FieldByName(QStringLiteral("txDenominazione"))
                .AsString()
                .startsWith(QStringLiteral("Bulloneria")));
    PopupAction(w.get(), 0, QStringLiteral("MNUFind"))->trigger();
    g->PopupMenu()->close();
    auto *find = g->findChild<TKRTGRIDFINDFORM *>();
    QVERIFY(find);
    auto *ef = find->findChild<TKRTLabelEdit *>(QStringLiteral("EFText"));
    ef->SetText(QStringLiteral("Domotica Nord 1233"));
    find->findChild<QComboBox *>(QStringLiteral("CBFindType"))->setCurrentIndex(2); // Uguale
    QTest::mouseClick(find->findChild<QPushButton *>(QStringLiteral("PBFind")), Qt::LeftButton);
    QCOMPARE(w->List()->FieldByName(QStringLiteral("txCodCliente")).AsString(),
             QStringLiteral("CL01233"));
    QCOMPARE(g->currentIndex().row(), w->List()->RecNo() - 1);
    find->close();

    // "Info supplementari": the zoom of chosen fields, then the list columns are back.
    PopupAction(w.get(), g->currentIndex().row(), QStringLiteral("Info supplementari"))->trigger();
    g->PopupMenu()->close();
    QVERIFY(w->zoom);
    auto *zoom = qobject_cast<TKRTZOOMGRIDEXFORM *>(w->zoom);
    QCOMPARE(int(zoom->Fields().size()), 4);
    QCOMPARE(zoom->Fields().at(2)->CaptionString(), QStringLiteral("Da"));
    QCOMPARE(zoom->Fields().at(2)->Text(), QStringLiteral("OPERATORE"));
    QCOMPARE(zoom->Fields().at(1)->Text(), QStringLiteral("Domotica Nord 1233"));
    QVERIFY(!w->List()->FieldByName(QStringLiteral("txUtenteMod")).Visible());
    QCOMPARE(g->ColumnCount(), 4);
    zoom->close();

    // Developer entry.
    PopupAction(w.get(), g->currentIndex().row(), QStringLiteral("Copia Id in clipboard"))->trigger();
    g->PopupMenu()->close();
    QCOMPARE(QApplication::clipboard()->text(),
             w->List()->FieldByName(QStringLiteral("idCliente")).AsString());

    // Export of the list.
    const QString file = m_home.filePath(QStringLiteral("clienti.txt"));
    recorder.QueueAnswer(true, file);
    PopupAction(w.get(), 0, QStringLiteral("MNUExport"))->trigger();
    g->PopupMenu()->close();
    QCOMPARE(recorder.LastText(TDialogKind::Info), QStringLiteral("Esportazione Completata."));
    QFile exported(file);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = exported.readAll().split('\n');
    QCOMPARE(lines.size(), 3002);
    QCOMPARE(lines.at(0), QByteArray("Codice;Ragione Sociale;Provincia;Modificato il\r"));
    QCOMPARE(lines.at(1),
             QByteArray("\"CL00999\";\"Elettrica Nord 999\";\"BG\";"
                        "27/09/2023 09:30:00\r"));
    QCOMPARE(recorder.Count(TDialogKind::Error), 0);
    QCOMPARE(recorder.Count(TDialogKind::Warning), 0);
}

void tst_DemoListWindow::layoutSurvivesReopening()
{
    {
        auto w = Open();
        QVERIFY(w);
        TKRTGrid *g = w->DG_Clienti;
        g->SetColumnWidth(1, 377);
        QAction *hide = PopupAction(w.get(), 0, QStringLiteral("MNUHideCol"));
        QVERIFY(hide->text().startsWith(QStringLiteral("Nascondi \"Ragione Sociale\"")));
        hide->trigger();
        g->PopupMenu()->close();
        PopupAction(w.get(), 0, QStringLiteral("MNUSaveColumns"))->trigger();
        g->PopupMenu()->close();
    }
    auto w = Open();
    QVERIFY(w);
    TKRTGrid *g = w->DG_Clienti;
    QVERIFY(g->isColumnHidden(1));
    QCOMPARE(g->Column(1).Width, 377);
    QCOMPARE(g->model()->rowCount(), 3000);
    PopupAction(w.get(), 0, QStringLiteral("MNUDeleteColumns"))->trigger();
    g->PopupMenu()->close();
    QVERIFY(!g->isColumnHidden(1));
}

QTEST_MAIN(tst_DemoListWindow)
#include "tst_demolistwindow.moc"
