#include "db/dbmodule.h"
#include "tests/support/testdatabase.h"

#include <QtTest>

#include <atomic>
#include <set>
#include <thread>

// Numbered series: two sessions never get the same number.
class TstCounters : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void seriesStartAtOneAndAreIndependent();
    void secondSessionWaitsForTheFirst();
    void concurrentSessionsGetDistinctNumbers();
    void numberOfRolledBackTransactionIsReused();
};

namespace {

// A session of the schema owner on the test database: the counter function is internal and
// not granted to the program's login.
std::unique_ptr<TSTD_DBMODULE> ownerSession(const TTestDatabase &db)
{
    TConnectionParams p = db.Params();
    p.login = QStringLiteral("postgres");
    p.password.clear();
    auto m = std::make_unique<TSTD_DBMODULE>();
    m->SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(p));
    m->Open();
    return m;
}

qint64 next(TSTD_DBMODULE &m, const QString &series)
{
    std::unique_ptr<TDataSet> ds = m.QueryParams(QStringLiteral("SELECT vt_prossimo_numero($1)"),
                                                 {series});
    return ds->Fields(0).AsInteger();
}

} // namespace

void TstCounters::initTestCase()
{
    if (!TTestDatabase::Available())
        QSKIP("test cluster not running (VENTOREL_TEST_PGSOCKET)");
}

void TstCounters::seriesStartAtOneAndAreIndependent()
{
    TTestDatabase db(TTestDatabase::Empty);
    auto m = ownerSession(db);
    QCOMPARE(next(*m, QStringLiteral("CLIENTI:{A}")), 1);
    QCOMPARE(next(*m, QStringLiteral("CLIENTI:{A}")), 2);
    QCOMPARE(next(*m, QStringLiteral("CLIENTI:{B}")), 1);
    QCOMPARE(next(*m, QStringLiteral("CLIENTI:{A}")), 3);
}

void TstCounters::secondSessionWaitsForTheFirst()
{
    TTestDatabase db(TTestDatabase::Empty);
    auto a = ownerSession(db);
    auto b = ownerSession(db);
    a->BeginTrans();
    QCOMPARE(next(*a, QStringLiteral("P2024")), 1);

    std::atomic<bool> done{false};
    qint64 gotB = 0;
    std::thread other([&] {
        try {
            gotB = next(*b, QStringLiteral("P2024"));
        } catch (...) {
            gotB = -1;
        }
        done = true;
    });
    // While the first transaction holds the series, the second session waits.
    QTest::qWait(400);
    QVERIFY(!done);
    QCOMPARE(next(*a, QStringLiteral("P2024")), 2);
    a->CommitTrans();
    other.join();
    QCOMPARE(gotB, 3);
}

void TstCounters::concurrentSessionsGetDistinctNumbers()
{
    TTestDatabase db(TTestDatabase::Empty);
    const int perSession = 150;
    std::vector<std::unique_ptr<TSTD_DBMODULE>> sessions;
    sessions.push_back(ownerSession(db));
    sessions.push_back(ownerSession(db));
    std::vector<std::vector<qint64>> got(2);
    std::vector<std::thread> threads;
    for (int s = 0; s < 2; ++s) {
        threads.emplace_back([&, s] {
            try {
                for (int i = 0; i < perSession; ++i) {
                    // Half of the numbers are taken inside a transaction with a second step.
                    if (i % 2) {
                        sessions[s]->BeginTrans();
                        got[s].push_back(next(*sessions[s], QStringLiteral("SERIE")));
                        sessions[s]->ExecuteParams(QStringLiteral("SELECT pg_sleep(0.001)"), {});
                        sessions[s]->CommitTrans();
                    } else {
                        got[s].push_back(next(*sessions[s], QStringLiteral("SERIE")));
                    }
                }
            } catch (...) {
                got[s].push_back(-1);
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    std::set<qint64> all;
    for (const auto &g : got) {
        QCOMPARE(int(g.size()), perSession);
        all.insert(g.begin(), g.end());
        QVERIFY(std::is_sorted(g.begin(), g.end())); // each session sees its numbers grow
    }
    QCOMPARE(int(all.size()), 2 * perSession);
    QCOMPARE(*all.begin(), 1);
    QCOMPARE(*all.rbegin(), 2 * perSession);
}

void TstCounters::numberOfRolledBackTransactionIsReused()
{
    TTestDatabase db(TTestDatabase::Empty);
    auto m = ownerSession(db);
    m->BeginTrans();
    QCOMPARE(next(*m, QStringLiteral("S")), 1);
    m->RollbackTrans();
    // A record whose saving failed leaves no gap.
    QCOMPARE(next(*m, QStringLiteral("S")), 1);
}

QTEST_GUILESS_MAIN(TstCounters)
#include "tst_counters.moc"
