// The client's operations against the fake service over TLS: listings, folders, uploads,
// sessions, shares, relocations, batches, search, change lists, downloads, account data.

#include "cloud/clouderror.h"
#include "cloud/dropbox.h"
#include "tests/cloud/cloudtestenv.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QTest>
#include <QTimeZone>

using namespace cloud_test;

namespace {

// Runs the call and returns the error it raised; fails the test when it raised none.
template<typename F>
ECloudError ErrorOf(F &&call)
{
    try {
        call();
    } catch (const ECloudError &e) {
        return e;
    }
    return ECloudError(TCloudErrorKind::Usage, QStringLiteral("<no error raised>"));
}

QStringList Names(TDropbox &client, const QString &path)
{
    QStringList out;
    TDFileInfo *f = nullptr;
    int r = client.FindFirst(f, path);
    while (r == 0) {
        out << f->Name + (f->IsDir ? QStringLiteral("/") : QString());
        r = client.FindNext(f);
    }
    return out;
}

QByteArray Pattern(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 131 + i / 251) & 0xff);
    return b;
}

} // namespace

class TestDropbox : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void listingSendsServicePath_data();
    void listingSendsServicePath();
    void listingOfThreePagesFoldersFirst();
    void emptyFolderAndForeignEntries();
    void hugeListing();
    void conflictReportsSummary_data();
    void conflictReportsSummary();
    void folderUploadAndShare();
    void uploadLimitAndSession();
    void sessionArgumentsChecked();
    void interruptedSessionResumesAtServiceOffset();
    void lostSessionIsForgotten();
    void finishBatch();
    void relocations();
    void batches();
    void searchAndDownload();
    void changeList();
    void accountAndSpace();
    void dates_data();
    void dates();
    void fileInfoFromJson();

private:
    TCloudTestEnv m_env;
};

void TestDropbox::initTestCase()
{
    QVERIFY(m_env.MakeCertificates());
}

void TestDropbox::init()
{
    QVERIFY(m_env.StartService());
}

void TestDropbox::listingSendsServicePath_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("sent");
    QTest::newRow("root") << "/"
                          << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("no leading slash") << "Ventorel"
                                      << "/Ventorel";
    QTest::newRow("trailing slash") << "/Ventorel/Preventivi 2024/"
                                    << "/Ventorel/Preventivi 2024";
}

void TestDropbox::listingSendsServicePath()
{
    QFETCH(QString, given);
    QFETCH(QString, sent);
    m_env.fake->AddFile(QStringLiteral("/Ventorel/Preventivi 2024/a.pdf"), "x");
    auto client = m_env.NewClient();
    TDFileInfo *f = nullptr;
    QCOMPARE(client->FindFirst(f, given), 0);
    QVERIFY(f);
    const QList<TFakeRequest> requests = m_env.fake->Requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].path, QStringLiteral("/2/files/list_folder"));
    QVERIFY(requests[0].arg.contains(QStringLiteral("path")));
    QCOMPARE(requests[0].arg.value(QStringLiteral("path")).toString(), sent);
    QVERIFY(requests[0].headers.value("content-type").startsWith("application/json"));
}

void TestDropbox::listingOfThreePagesFoldersFirst()
{
    for (const char *file : {"/P/a.pdf", "/P/C.pdf", "/P/e.pdf", "/P/ñandù.txt"})
        m_env.fake->AddFile(QString::fromUtf8(file), "data");
    for (const char *folder : {"/P/B", "/P/d", "/P/F", "/P/Zeta"})
        m_env.fake->AddFolder(QString::fromUtf8(folder));
    m_env.fake->SetPageSize(3);
    auto client = m_env.NewClient();

    QCOMPARE(Names(*client, QStringLiteral("/P")),
             QStringList({QStringLiteral("B/"),
                          QStringLiteral("d/"),
                          QStringLiteral("F/"),
                          QStringLiteral("Zeta/"),
                          QStringLiteral("a.pdf"),
                          QStringLiteral("C.pdf"),
                          QStringLiteral("e.pdf"),
                          QString::fromUtf8("ñandù.txt")}));
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/list_folder")), 1);
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/list_folder/continue")), 2);

    TDFileInfo *f = nullptr;
    QCOMPARE(client->FindFirst(f, QStringLiteral("/P")), 0);
    QCOMPARE(f->Path, QStringLiteral("/p/b"));
    QCOMPARE(f->PathDisplay, QStringLiteral("/P/B"));
    QVERIFY(f->IsDir);
    QCOMPARE(f->Index, 0);
}

void TestDropbox::emptyFolderAndForeignEntries()
{
    m_env.fake->AddFolder(QStringLiteral("/Vuota"));
    m_env.fake->AddFile(QStringLiteral("/uno.txt"), "1");
    auto client = m_env.NewClient();
    TDFileInfo dummy;
    TDFileInfo *f = &dummy;
    QCOMPARE(client->FindFirst(f, QStringLiteral("/Vuota")), -1);
    QVERIFY(!f);

    // The end of a listing gives -1 and no entry.
    QCOMPARE(client->FindFirst(f, QStringLiteral("/")), 0);
    TDFileInfo *first = f;
    QCOMPARE(client->FindNext(f), 0);
    QCOMPARE(client->FindNext(f), -1);
    QVERIFY(!f);

    // An entry that belongs to no listing, or to a released one, is refused.
    TDFileInfo *single = client->GetByPathName(QStringLiteral("/uno.txt"));
    ECloudError e = ErrorOf([&] { client->FindNext(single); });
    QCOMPARE(e.Text(), QStringLiteral("Such FileInfo does not exist"));
    client->FindClose(first);
    TDFileInfo *released = first;
    e = ErrorOf([&] { client->FindNext(released); });
    QCOMPARE(e.Text(), QStringLiteral("Such FileInfo does not exist"));
    TDFileInfo *none = nullptr;
    e = ErrorOf([&] { client->FindNext(none); });
    QCOMPARE(e.Text(), QStringLiteral("Such FileInfo does not exist"));
}

void TestDropbox::hugeListing()
{
    // 10,000 entries in pages of 2,000: every entry, in order, without trouble.
    for (int i = 0; i < 9900; ++i)
        m_env.fake->AddFile(QStringLiteral("/Molti/file %1.pdf").arg(i, 5, 10, QLatin1Char('0')),
                            QByteArray());
    for (int i = 0; i < 100; ++i)
        m_env.fake->AddFolder(QStringLiteral("/Molti/cartella %1").arg(i, 3, 10, QLatin1Char('0')));
    auto client = m_env.NewClient();
    TDFileInfo *f = nullptr;
    QCOMPARE(client->FindFirst(f, QStringLiteral("/Molti")), 0);
    QCOMPARE(int(f->List->Items.size()), 10000);
    QCOMPARE(f->Name, QStringLiteral("cartella 000"));
    QCOMPARE(f->List->Items[99].Name, QStringLiteral("cartella 099"));
    QVERIFY(!f->List->Items[100].IsDir);
    QCOMPARE(f->List->Items[100].Name, QStringLiteral("file 00000.pdf"));
    QCOMPARE(f->List->Items.back().Name, QStringLiteral("file 09899.pdf"));
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/list_folder/continue")), 4);
}

void TestDropbox::conflictReportsSummary_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected");
    QTest::newRow("service summary") << "fault"
                                     << "path/insufficient_space/..";
    QTest::newRow("existing folder") << "existing"
                                     << "path/conflict/folder/..";
    QTest::newRow("no summary: whole body") << "text"
                                            << "conflitto senza JSON";
}

void TestDropbox::conflictReportsSummary()
{
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    if (setup == QLatin1String("fault"))
        m_env.fake->Fail409(QStringLiteral("/files/create_folder"),
                            expected,
                            {{QStringLiteral(".tag"), QStringLiteral("path")}});
    else if (setup == QLatin1String("existing"))
        m_env.fake->AddFolder(QStringLiteral("/Nuova"));
    else
        m_env.fake->AnswerText(QStringLiteral("/files/create_folder"),
                               409,
                               "  conflitto senza JSON\n",
                               "text/plain");
    auto client = m_env.NewClient();
    const ECloudError e = ErrorOf([&] { client->CreateFolder(QStringLiteral("/Nuova")); });
    QCOMPARE(e.Kind(), TCloudErrorKind::Conflict);
    QCOMPARE(e.HttpStatus(), 409);
    QCOMPARE(e.Text(), expected);
}

void TestDropbox::folderUploadAndShare()
{
    auto client = m_env.NewClient();
    const QString folderPath = QStringLiteral("/Ventorel/Società Alfa/Preventivi 2024");
    TDFileInfo *folder = client->CreateFolder(folderPath);
    QVERIFY(folder->IsDir);
    QCOMPARE(folder->Path, folderPath.toLower());
    QVERIFY(m_env.fake->IsFolder(folderPath));

    const QString pdfPath = folderPath + QString::fromUtf8("/0057_2024 (Caffè ☕) (Impianto).pdf");
    const QByteArray data = Pattern(70000);
    QBuffer buffer;
    buffer.setData(data);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    TDFileInfo *file = client->Upload(buffer, pdfPath);
    QVERIFY(!file->IsDir);
    QCOMPARE(file->Size, qint64(data.size()));
    QCOMPARE(file->PathDisplay, pdfPath);
    QVERIFY(file->ServerModified.isValid());
    QCOMPARE(m_env.fake->Content(pdfPath), data);

    // The argument header is ASCII with \u escapes, and the call is a content upload.
    const TFakeRequest upload = m_env.fake->Requests().last();
    QCOMPARE(upload.path, QStringLiteral("/2/files/upload"));
    QCOMPARE(upload.headers.value("content-type"), QByteArray("application/octet-stream"));
    const QByteArray header = upload.headers.value("dropbox-api-arg");
    QVERIFY(header.contains("Societ\\u00e0"));
    QVERIFY(header.contains("\\u2615"));
    QCOMPARE(upload.arg.value(QStringLiteral("mode")).toString(), QStringLiteral("overwrite"));
    QCOMPARE(upload.arg.value(QStringLiteral("autorename")).toBool(true), false);

    // Uploading again overwrites.
    QVERIFY(buffer.seek(0));
    buffer.close();
    buffer.setData(QByteArray("nuova versione"));
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    client->Upload(buffer, pdfPath);
    QCOMPARE(m_env.fake->Content(pdfPath), QByteArray("nuova versione"));

    const QString shortLink = client->Share(*file, true);
    QVERIFY2(shortLink.startsWith(QStringLiteral("https://db.tt/")), qPrintable(shortLink));
    const QString longLink = client->Share(*file, false);
    QVERIFY(longLink.startsWith(QStringLiteral("https://www.dropbox.com/s/")));
    const TFakeRequest share = m_env.fake->Requests().last();
    QCOMPARE(share.arg.value(QStringLiteral("path")).toString(), pdfPath.toLower());
    QCOMPARE(share.arg.value(QStringLiteral("short_url")).toBool(true), false);
}

void TestDropbox::uploadLimitAndSession()
{
    // A sparse file of exactly 150 MiB: too large for one request, fine for a session.
    const QString path = m_env.TempPath(QStringLiteral("grande.pdf"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(kDbxMaxUploadSize));
    }
    auto client = m_env.NewClient();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const ECloudError refused = ErrorOf([&] { client->Upload(file, QStringLiteral("/g.pdf")); });
    QCOMPARE(refused.Text(),
             QStringLiteral("Dropbox API does not allow to upload files larger than 150MB"));
    QCOMPARE(m_env.fake->Requests().size(), 0);

    QList<QPair<qint64, qint64>> progress;
    client->OnUploadProgress = [&progress](TDropbox &, qint64 total, qint64 done, bool &) {
        if (progress.isEmpty() || progress.last().second != done)
            progress.append({total, done});
    };
    TDFileInfo *uploaded = client->UploadFile(path, QStringLiteral("/Ventorel/grande.pdf"));
    QCOMPARE(uploaded->Size, kDbxMaxUploadSize);
    QCOMPARE(m_env.fake->Size(QStringLiteral("/Ventorel/grande.pdf")), kDbxMaxUploadSize);
    QCryptographicHash zeros(QCryptographicHash::Sha256);
    const QByteArray block(1024 * 1024, '\0');
    for (int i = 0; i < 150; ++i)
        zeros.addData(block);
    QCOMPARE(m_env.fake->Sha256(QStringLiteral("/Ventorel/grande.pdf")), zeros.result());
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/upload")), 0);
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/upload_session/start")), 1);
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/upload_session/append_v2")), 8);
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/upload_session/finish")), 1);
    QCOMPARE(m_env.fake->OpenSessions(), 0);
    QVERIFY(client->OpenUploadSessions().isEmpty());

    // Progress covers the whole session and only grows.
    QVERIFY(!progress.isEmpty());
    for (int i = 0; i < progress.size(); ++i) {
        QCOMPARE(progress[i].first, kDbxMaxUploadSize);
        if (i > 0)
            QVERIFY(progress[i].second >= progress[i - 1].second);
    }
    QCOMPARE(progress.last().second, kDbxMaxUploadSize);
}

void TestDropbox::sessionArgumentsChecked()
{
    auto client = m_env.NewClient();
    ECloudError e = ErrorOf([&] { client->UploadInSession(nullptr, QStringLiteral("/a"), 1024); });
    QCOMPARE(e.Text(), QStringLiteral("Stream can not be nil"));
    QBuffer buffer;
    buffer.setData(QByteArray("abc"));
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    e = ErrorOf([&] { client->UploadInSession(&buffer, QStringLiteral("/a"), kDbxMaxUploadSize); });
    QCOMPARE(e.Text(), QStringLiteral("Dropbox API does not allow chunks larger than 150MB"));
    e = ErrorOf([&] {
        client->UploadSessionAppend(QStringLiteral("s"), 0, QByteArray(kDbxMaxUploadSize + 1, 'x'));
    });
    QCOMPARE(e.Text(),
             QStringLiteral("Dropbox API does not allow to upload content larger than 150MB in "
                            "single request"));
    QCOMPARE(m_env.fake->Requests().size(), 0);

    // An empty stream goes as a plain upload.
    QBuffer empty;
    QVERIFY(empty.open(QIODevice::ReadOnly));
    client->UploadInSession(&empty, QStringLiteral("/vuoto.txt"), 1024);
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/upload")), 1);
    QVERIFY(m_env.fake->Exists(QStringLiteral("/vuoto.txt")));

    // A stream no larger than one chunk: start with the data, finish without.
    client->UploadInSession(&buffer, QStringLiteral("/abc.txt"), 1024);
    QCOMPARE(m_env.fake->Content(QStringLiteral("/abc.txt")), QByteArray("abc"));
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/upload_session/append_v2")), 0);
}

void TestDropbox::interruptedSessionResumesAtServiceOffset()
{
    const QByteArray data = Pattern(5 * 65536 + 123);
    QBuffer buffer;
    buffer.setData(data);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    auto client = m_env.NewClient();
    // The service stores the first append but the answer never arrives.
    m_env.fake->HandleThenDrop(QStringLiteral("/files/upload_session/append_v2"));
    const ECloudError e = ErrorOf(
        [&] { client->UploadInSession(&buffer, QStringLiteral("/Ripresa.bin"), 65536); });
    QCOMPARE(e.Kind(), TCloudErrorKind::Dropped);
    QCOMPARE(client->OpenUploadSessions().size(), 1);
    QVERIFY(!m_env.fake->Exists(QStringLiteral("/Ripresa.bin")));

    // The next call for the same path resumes: the service corrects the offset once and the
    // file arrives whole, each byte once.
    QVERIFY(buffer.seek(0));
    TDFileInfo *f = client->UploadInSession(&buffer, QStringLiteral("/ripresa.bin"), 65536);
    QCOMPARE(f->Size, qint64(data.size()));
    QCOMPARE(m_env.fake->Content(QStringLiteral("/Ripresa.bin")), data);
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/upload_session/start")), 1);
    QVERIFY(client->OpenUploadSessions().isEmpty());
    QCOMPARE(m_env.fake->OpenSessions(), 0);
}

void TestDropbox::lostSessionIsForgotten()
{
    const QByteArray data = Pattern(3 * 1000);
    QBuffer buffer;
    buffer.setData(data);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    auto client = m_env.NewClient();
    m_env.fake->Fail409(QStringLiteral("/files/upload_session/append_v2"),
                        QStringLiteral("not_found/"),
                        {{QStringLiteral(".tag"), QStringLiteral("not_found")}});
    const ECloudError e = ErrorOf(
        [&] { client->UploadInSession(&buffer, QStringLiteral("/perso.bin"), 1000); });
    QCOMPARE(e.Text(), QStringLiteral("not_found/"));
    QVERIFY(client->OpenUploadSessions().isEmpty());

    // A new call starts a new session.
    QVERIFY(buffer.seek(0));
    client->UploadInSession(&buffer, QStringLiteral("/perso.bin"), 1000);
    QCOMPARE(m_env.fake->Content(QStringLiteral("/perso.bin")), data);
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/upload_session/start")), 2);
}

void TestDropbox::finishBatch()
{
    auto client = m_env.NewClient();
    const QString a = client->UploadSessionStart("prima parte ");
    client->UploadSessionAppend(a, 12, "e seconda");
    const QString b = client->UploadSessionStart("altro file");
    const QList<TDFileInfo *> files = client->UploadSessionFinishBatch(
        {{a, 21, QStringLiteral("/Lotto/a.txt")}, {b, 10, QStringLiteral("/Lotto/b.txt")}});
    QCOMPARE(files.size(), 2);
    QCOMPARE(files[0]->PathDisplay, QStringLiteral("/Lotto/a.txt"));
    QCOMPARE(m_env.fake->Content(QStringLiteral("/Lotto/a.txt")),
             QByteArray("prima parte e seconda"));
    QCOMPARE(m_env.fake->Content(QStringLiteral("/Lotto/b.txt")), QByteArray("altro file"));
    QVERIFY(m_env.fake->Count(QStringLiteral("/2/files/upload_session/finish_batch/check")) >= 2);

    // A wrong offset fails its entry, and the batch says so.
    const QString c = client->UploadSessionStart("abc");
    const ECloudError e = ErrorOf([&] {
        client->UploadSessionFinishBatch({{c, 99, QStringLiteral("/Lotto/c.txt")}});
    });
    QCOMPARE(e.Kind(), TCloudErrorKind::Conflict);
    QVERIFY2(e.Text().contains(QStringLiteral("lookup_failed")), qPrintable(e.Text()));
    QVERIFY(!m_env.fake->Exists(QStringLiteral("/Lotto/c.txt")));
}

void TestDropbox::relocations()
{
    m_env.fake->AddFile(QStringLiteral("/A/uno.txt"), "1");
    m_env.fake->AddFile(QStringLiteral("/A/Sotto/due.txt"), "2");
    auto client = m_env.NewClient();

    TDFileInfo *moved = client->MoveByPathName(QStringLiteral("/A/uno.txt"),
                                               QStringLiteral("/B/uno.txt"));
    QCOMPARE(moved->PathDisplay, QStringLiteral("/B/uno.txt"));
    QVERIFY(!m_env.fake->Exists(QStringLiteral("/A/uno.txt")));
    QCOMPARE(m_env.fake->Content(QStringLiteral("/B/uno.txt")), QByteArray("1"));

    TDFileInfo *copied = client->Copy(*moved, QStringLiteral("/C/uno bis.txt"));
    QCOMPARE(copied->Name, QStringLiteral("uno bis.txt"));
    QVERIFY(m_env.fake->Exists(QStringLiteral("/B/uno.txt")));

    TDFileInfo *renamed = client->RenameByPathName(QStringLiteral("/A/Sotto"),
                                                   QStringLiteral("Nuovo"));
    QCOMPARE(renamed->PathDisplay, QStringLiteral("/A/Nuovo"));
    QCOMPARE(m_env.fake->Content(QStringLiteral("/A/Nuovo/due.txt")), QByteArray("2"));
    TDFileInfo *again = client->Rename(*copied, QStringLiteral("tre.txt"));
    QCOMPARE(again->PathDisplay, QStringLiteral("/C/tre.txt"));

    TDFileInfo *meta = client->GetByPathName(QStringLiteral("/a/NUOVO/due.txt"));
    QCOMPARE(meta->Size, qint64(1));
    QCOMPARE(meta->Path, QStringLiteral("/a/nuovo/due.txt"));

    TDFileInfo *gone = client->Delete(*meta);
    QCOMPARE(gone->Name, QStringLiteral("due.txt"));
    QVERIFY(!m_env.fake->Exists(QStringLiteral("/A/Nuovo/due.txt")));
    QCOMPARE(client->DeleteByPathName(QStringLiteral("/C"))->Name, QStringLiteral("C"));

    const ECloudError e = ErrorOf([&] { client->GetByPathName(QStringLiteral("/manca.txt")); });
    QCOMPARE(e.Text(), QStringLiteral("path/not_found/.."));
    const ECloudError e2 = ErrorOf(
        [&] { client->MoveByPathName(QStringLiteral("/manca"), QStringLiteral("/x")); });
    QCOMPARE(e2.Text(), QStringLiteral("from_lookup/not_found/.."));
}

void TestDropbox::batches()
{
    m_env.fake->AddFile(QStringLiteral("/Da/a.txt"), "a");
    m_env.fake->AddFile(QStringLiteral("/Da/b.txt"), "b");
    m_env.fake->SetJobChecksInProgress(2);
    auto client = m_env.NewClient();

    const QList<TDFileInfo *> copied = client->CopyBatch(
        {{QStringLiteral("/Da/a.txt"), QStringLiteral("/Copie/a.txt")},
         {QStringLiteral("/Da/b.txt"), QStringLiteral("/Copie/b.txt")}});
    QCOMPARE(copied.size(), 2);
    QCOMPARE(copied[1]->PathDisplay, QStringLiteral("/Copie/b.txt"));
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/files/copy_batch/check")), 3);
    const TFakeRequest launch = m_env.fake->Requests()[0];
    QCOMPARE(launch.arg.value(QStringLiteral("entries")).toArray().size(), 2);
    QVERIFY(launch.arg.contains(QStringLiteral("allow_ownership_transfer")));

    const QList<TDFileInfo *> moved = client->MoveBatch(
        {{QStringLiteral("/Da/a.txt"), QStringLiteral("/Spostati/a.txt")}});
    QCOMPARE(moved.size(), 1);
    QVERIFY(!m_env.fake->Exists(QStringLiteral("/Da/a.txt")));

    const QList<TDFileInfo *> deleted = client->DeleteBatch(
        {QStringLiteral("/Copie/a.txt"), QStringLiteral("/Copie/b.txt")});
    QCOMPARE(deleted.size(), 2);
    QCOMPARE(m_env.fake->Children(QStringLiteral("/Copie")), QStringList());

    // A job that fails reports why.
    ECloudError e = ErrorOf([&] {
        client->MoveBatch({{QStringLiteral("/manca.txt"), QStringLiteral("/x.txt")}});
    });
    QCOMPARE(e.Kind(), TCloudErrorKind::Conflict);
    QVERIFY2(e.Text().contains(QStringLiteral("from_lookup")), qPrintable(e.Text()));
    e = ErrorOf([&] { client->DeleteBatch({QStringLiteral("/manca.txt")}); });
    QVERIFY2(e.Text().contains(QStringLiteral("path_lookup")), qPrintable(e.Text()));
}

void TestDropbox::searchAndDownload()
{
    m_env.fake->AddFile(QStringLiteral("/Prev/Preventivo 1.pdf"), "uno");
    m_env.fake->AddFile(QStringLiteral("/Prev/preventivo 2.pdf"), "due");
    m_env.fake->AddFile(QStringLiteral("/Altro/PREVENTIVO 3.pdf"), "tre");
    m_env.fake->AddFile(QStringLiteral("/Prev/ordine.pdf"), "ordine");
    m_env.fake->SetPageSize(1);
    auto client = m_env.NewClient();
    QStringList found;
    for (const TDFileInfo &f : client->FindByText(QStringLiteral("preventivo")).Items)
        found << f.PathDisplay;
    found.sort();
    QCOMPARE(found,
             QStringList({QStringLiteral("/Altro/PREVENTIVO 3.pdf"),
                          QStringLiteral("/Prev/Preventivo 1.pdf"),
                          QStringLiteral("/Prev/preventivo 2.pdf")}));
    QCOMPARE(client->FindByText(QStringLiteral("preventivo"), QStringLiteral("/Prev")).Items.size(),
             size_t(2));

    QBuffer out;
    QVERIFY(out.open(QIODevice::WriteOnly));
    TDFileInfo *meta = client->DownloadByPathName(QStringLiteral("/prev/preventivo 1.pdf"), out);
    QCOMPARE(out.data(), QByteArray("uno"));
    QCOMPARE(meta->PathDisplay, QStringLiteral("/Prev/Preventivo 1.pdf"));
    QCOMPARE(meta->Size, qint64(3));
    const TFakeRequest download = m_env.fake->Requests().last();
    QVERIFY(!download.headers.contains("content-type"));

    QBuffer folder;
    QVERIFY(folder.open(QIODevice::WriteOnly));
    const ECloudError e = ErrorOf(
        [&] { client->DownloadByPathName(QStringLiteral("/Prev"), folder); });
    QCOMPARE(e.Text(), QStringLiteral("path/not_file/.."));
    QVERIFY(folder.data().isEmpty());
}

void TestDropbox::changeList()
{
    m_env.fake->AddFile(QStringLiteral("/A/uno.txt"), "1");
    m_env.fake->AddFile(QStringLiteral("/B/due.txt"), "2");
    m_env.fake->SetPageSize(2);
    auto client = m_env.NewClient();
    QString cursor;
    const TDFileList &all = client->GetDelta(cursor);
    QCOMPARE(all.Items.size(), size_t(4));
    QVERIFY(!cursor.isEmpty());
    const TFakeRequest first = m_env.fake->Requests()[0];
    QCOMPARE(first.arg.value(QStringLiteral("recursive")).toBool(), true);
    QCOMPARE(first.arg.value(QStringLiteral("include_deleted")).toBool(), true);

    client->DeleteByPathName(QStringLiteral("/A/uno.txt"));
    m_env.fake->AddFile(QStringLiteral("/B/tre.txt"), "3");
    const TDFileList &changes = client->GetDelta(cursor);
    QCOMPARE(changes.Items.size(), size_t(2));
    QCOMPARE(changes.Items[0].Path, QStringLiteral("/a/uno.txt"));
    QVERIFY(changes.Items[0].IsDeleted);
    QCOMPARE(changes.Items[1].Path, QStringLiteral("/b/tre.txt"));
    QVERIFY(!changes.Items[1].IsDeleted);

    QString latest = client->GetLatestCursor();
    m_env.fake->AddFolder(QStringLiteral("/C"));
    const TDFileList &after = client->GetDelta(latest);
    QCOMPARE(after.Items.size(), size_t(1));
    QVERIFY(after.Items[0].IsDir);

    // An unknown cursor is the service's "reset".
    QString stale = QStringLiteral("J999|x");
    const ECloudError e = ErrorOf([&] { client->GetDelta(stale); });
    QCOMPARE(e.Text(), QStringLiteral("reset/.."));
}

void TestDropbox::accountAndSpace()
{
    m_env.fake->SetSpaceUsage({{QStringLiteral("used"), 5000000000LL},
                               {QStringLiteral("allocation"),
                                QJsonObject{{QStringLiteral(".tag"), QStringLiteral("team")},
                                            {QStringLiteral("used"), 7000000000LL},
                                            {QStringLiteral("allocated"), 10000000000LL}}}});
    auto client = m_env.NewClient();
    QCOMPARE(client->DisplayName(), QStringLiteral("Mario Rossi"));
    QCOMPARE(client->GivenName(), QStringLiteral("Mario"));
    QCOMPARE(client->Surname(), QStringLiteral("Rossi"));
    QCOMPARE(client->Email(), QStringLiteral("mario.rossi@example.it"));
    QCOMPARE(client->Country(), QStringLiteral("IT"));
    QCOMPARE(client->AccountType(), QStringLiteral("basic"));
    QCOMPARE(client->ReferralLink(), QStringLiteral("https://db.tt/ZITNuhtI"));
    QCOMPARE(client->IsPaired(), false);
    QVERIFY(client->TeamId().isEmpty());
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/users/get_current_account")), 1);
    const TFakeRequest r = m_env.fake->Requests()[0];
    QCOMPARE(r.body, QByteArray("null"));

    QCOMPARE(client->SpaceUsage().Used, 5000000000LL);
    QCOMPARE(client->SpaceUsage().UsedByTeam, 7000000000LL);
    QCOMPARE(client->SpaceUsage().Allocated, 10000000000LL);
    QCOMPARE(m_env.fake->Count(QStringLiteral("/2/users/get_space_usage")), 1);
}

void TestDropbox::dates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");
    const QDateTime t(QDate(2024, 3, 5), QTime(14, 7, 9), Qt::UTC);
    QTest::newRow("service form") << "2024-03-05T14:07:09Z" << t;
    QTest::newRow("no zone") << "2024-03-05T14:07:09" << t;
    QTest::newRow("fraction") << "2024-03-05T14:07:09.250Z" << t;
    QTest::newRow("offset") << "2024-03-05T16:07:09+02:00" << t;
    QTest::newRow("compact") << "20240305T140709" << t;
    QTest::newRow("date only") << "2024-03-05"
                               << QDateTime(QDate(2024, 3, 5), QTime(0, 0), Qt::UTC);
    QTest::newRow("mixed separators") << "2024-0305T14:07:09" << QDateTime();
    QTest::newRow("bad month") << "2024-13-05T14:07:09Z" << QDateTime();
    QTest::newRow("bad hour") << "2024-03-05T25:07:09Z" << QDateTime();
    QTest::newRow("text") << "ieri" << QDateTime();
    QTest::newRow("empty") << "" << QDateTime();
}

void TestDropbox::dates()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    const QDateTime got = ParseCloudDateTime(text);
    QCOMPARE(got.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(got.toUTC(), expected);
}

void TestDropbox::fileInfoFromJson()
{
    TDFileInfo f;
    QVERIFY(f.ParseJSON(QStringLiteral(
        R"({".tag": "file", "name": "Preventivo.pdf", "path_lower": "/p/preventivo.pdf",
            "path_display": "/P/Preventivo.pdf", "id": "id:abc", "rev": "015f9",
            "size": 6442450944, "server_modified": "2024-03-05T14:07:09Z",
            "client_modified": "2024-03-05T14:00:00Z"})")));
    QCOMPARE(f.Name, QStringLiteral("Preventivo.pdf"));
    QCOMPARE(f.Path, QStringLiteral("/p/preventivo.pdf"));
    QCOMPARE(f.Size, 6442450944LL);
    QCOMPARE(f.Revision, QStringLiteral("015f9"));
    QCOMPARE(f.Id, QStringLiteral("id:abc"));
    QVERIFY(!f.IsDir);
    QVERIFY(!f.IsDeleted);
    QCOMPARE(f.ClientModified.time(), QTime(14, 0));
    QVERIFY(f.ParseJSON(QStringLiteral(R"({".tag": "deleted", "name": "x", "path_lower": "/x"})")));
    QVERIFY(f.IsDeleted);
    QCOMPARE(f.Size, qint64(0));
    QVERIFY(!f.ParseJSON(QStringLiteral("<html>")));
    QVERIFY(!f.ParseJSON(QStringLiteral("[1, 2]")));
}

QTEST_GUILESS_MAIN(TestDropbox)
#include "tst_dropbox.moc"
