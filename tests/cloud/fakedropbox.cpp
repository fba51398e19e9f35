#include "tests/cloud/fakedropbox.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QPointer>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace cloud_test {

// --- Certificates ---------------------------------------------------------------------------

namespace {

bool RunOpenssl(const QStringList &args, const QString &dir, QString *error)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QStringLiteral("openssl %1: %2")
                     .arg(args.join(u' '), QString::fromLocal8Bit(p.readAllStandardError()));
        return false;
    }
    return true;
}

bool MakeAuthority(const QString &dir, const QString &name, QString *error)
{
    return RunOpenssl({QStringLiteral("req"),
                       QStringLiteral("-x509"),
                       QStringLiteral("-newkey"),
                       QStringLiteral("ec"),
                       QStringLiteral("-pkeyopt"),
                       QStringLiteral("ec_paramgen_curve:prime256v1"),
                       QStringLiteral("-nodes"),
                       QStringLiteral("-keyout"),
                       name + QStringLiteral(".key"),
                       QStringLiteral("-out"),
                       name + QStringLiteral(".pem"),
                       QStringLiteral("-days"),
                       QStringLiteral("2"),
                       QStringLiteral("-subj"),
                       QStringLiteral("/CN=Ventorel test authority ") + name,
                       QStringLiteral("-addext"),
                       QStringLiteral("basicConstraints=critical,CA:TRUE"),
                       QStringLiteral("-addext"),
                       QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")},
                      dir,
                      error);
}

} // namespace

TTestCertificates MakeTestCertificates(const QString &dir)
{
    TTestCertificates c;
    QString error;
    QFile ext(QDir(dir).filePath(QStringLiteral("server.ext")));
    if (!ext.open(QIODevice::WriteOnly)) {
        c.error = ext.errorString();
        return c;
    }
    ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
              "basicConstraints=CA:FALSE\n"
              "keyUsage=digitalSignature\n"
              "extendedKeyUsage=serverAuth\n");
    ext.close();
    const bool ok = MakeAuthority(dir, QStringLiteral("ca"), &error)
                    && MakeAuthority(dir, QStringLiteral("other"), &error)
                    && RunOpenssl({QStringLiteral("req"),
                                   QStringLiteral("-newkey"),
                                   QStringLiteral("ec"),
                                   QStringLiteral("-pkeyopt"),
                                   QStringLiteral("ec_paramgen_curve:prime256v1"),
                                   QStringLiteral("-nodes"),
                                   QStringLiteral("-keyout"),
                                   QStringLiteral("server.key"),
                                   QStringLiteral("-out"),
                                   QStringLiteral("server.csr"),
                                   QStringLiteral("-subj"),
                                   QStringLiteral("/CN=127.0.0.1")},
                                  dir,
                                  &error)
                    && RunOpenssl({QStringLiteral("x509"),
                                   QStringLiteral("-req"),
                                   QStringLiteral("-in"),
                                   QStringLiteral("server.csr"),
                                   QStringLiteral("-CA"),
                                   QStringLiteral("ca.pem"),
                                   QStringLiteral("-CAkey"),
                                   QStringLiteral("ca.key"),
                                   QStringLiteral("-CAcreateserial"),
                                   QStringLiteral("-out"),
                                   QStringLiteral("server.pem"),
                                   QStringLiteral("-days"),
                                   QStringLiteral("2"),
                                   QStringLiteral("-extfile"),
                                   QStringLiteral("server.ext")},
                                  dir,
                                  &error);
    if (!ok) {
        c.error = error;
        return c;
    }
    const QDir d(dir);
    c.caFile = d.filePath(QStringLiteral("ca.pem"));
    c.otherCaFile = d.filePath(QStringLiteral("other.pem"));
    c.certFile = d.filePath(QStringLiteral("server.pem"));
    c.keyFile = d.filePath(QStringLiteral("server.key"));
    return c;
}

// --- The service ----------------------------------------------------------------------------

namespace {

constexpr qint64 kKeepContent = 16 * 1024 * 1024;

struct Response
{
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
};

QByteArray Json(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

Response JsonAnswer(const QJsonObject &o)
{
    Response r;
    r.body = Json(o);
    return r;
}

Response Error409(const QString &summary, const QJsonObject &error)
{
    Response r;
    r.status = 409;
    r.body = Json({{QStringLiteral("error_summary"), summary}, {QStringLiteral("error"), error}});
    return r;
}

// A path error in the service's nesting: {".tag": where, where: {".tag": reason}}.
Response PathError(const QString &where, const QString &reason, const QString &detail = QString())
{
    QJsonObject inner{{QStringLiteral(".tag"), reason}};
    if (!detail.isEmpty())
        inner = {{QStringLiteral(".tag"), reason},
                 {reason, QJsonObject{{QStringLiteral(".tag"), detail}}}};
    const QString summary = where + u'/' + reason + u'/'
                            + (detail.isEmpty() ? QString() : detail + u'/');
    return Error409(summary + QStringLiteral(".."),
                    {{QStringLiteral(".tag"), where}, {where, inner}});
}

Response Text(int status, const QByteArray &text, const QByteArray &type = "text/plain")
{
    Response r;
    r.status = status;
    r.contentType = type;
    r.body = text;
    return r;
}

QByteArray AsciiJson(const QJsonObject &o)
{
    const QString text = QString::fromUtf8(Json(o));
    QByteArray out;
    for (const QChar c : text) {
        if (c.unicode() > 0x7e)
            out += QStringLiteral("\\u%1").arg(uint(c.unicode()), 4, 16, QLatin1Char('0')).toLatin1();
        else
            out += char(c.unicode());
    }
    return out;
}

QString Lower(const QString &p)
{
    return p.toLower();
}

QString ParentOf(const QString &p)
{
    const int slash = p.lastIndexOf(u'/');
    return slash <= 0 ? QString() : p.left(slash);
}

QString NameOf(const QString &p)
{
    return p.mid(p.lastIndexOf(u'/') + 1);
}

// Path syntax as the service checks it: "" (the root, when allowed) or "/" + names; a name is
// not empty, at most 255 characters, has no backslash and no control character.
bool ValidPath(const QString &p, bool allowRoot)
{
    if (p.isEmpty())
        return allowRoot;
    if (!p.startsWith(u'/') || p.endsWith(u'/'))
        return false;
    const QStringList names = p.mid(1).split(u'/');
    for (const QString &n : names) {
        if (n.isEmpty() || n.size() > 255 || n == QLatin1String(".") || n == QLatin1String(".."))
            return false;
        for (const QChar c : n) {
            if (c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7f)
                return false;
        }
    }
    return true;
}

struct Fault
{
    enum Kind { Unauthorized, Conflict, Stall, DropBefore, DropMid, HandleDrop, Text, Redirect };
    Kind kind = Unauthorized;
    QString command;
    QString summary;
    QJsonObject error;
    int ms = 0;
    int status = 0;
    QByteArray text;
    QByteArray contentType;
};

} // namespace

struct TFakeDropbox::State
{
    struct Node
    {
        QString display;
        bool folder = false;
        QByteArray content;
        qint64 size = 0;
        QByteArray sha;
        QString id;
        QString rev;
        QDateTime modified;
    };
    struct Session
    {
        QByteArray data;
        qint64 size = 0;
        std::shared_ptr<QCryptographicHash> hash;
        bool closed = false;
    };
    struct Snapshot
    {
        QJsonArray entries;
        QString key;
        QString finalCursor;
    };
    struct Job
    {
        QJsonObject result;
        int checks = 0;
    };
    struct Code
    {
        QString challenge;
        QString redirect;
    };

    QString clientId = QStringLiteral("vt-app-key");
    QString clientSecret = QStringLiteral("vt-app-secret-4711");
    QStringList accessTokens;
    QStringList expiredTokens;
    QStringList refreshTokens;
    QHash<QString, Code> codes;
    int tokenCounter = 0;

    QMap<QString, Node> nodes;      // lower-case path to node
    QMap<QString, QString> deleted; // lower-case path to display path of removed entries
    QList<QPair<qint64, QString>> journal;
    qint64 seq = 0;
    int idCounter = 0;
    QHash<QString, Session> sessions;
    QHash<int, Snapshot> snapshots;
    int snapshotCounter = 0;
    QHash<QString, Job> jobs;
    int jobCounter = 0;
    int pageSize = 2000;
    int jobChecksInProgress = 1;
    QJsonObject account{{QStringLiteral("account_id"), QStringLiteral("dbid:AAH4f99T0taONIb")},
                        {QStringLiteral("name"),
                         QJsonObject{{QStringLiteral("given_name"), QStringLiteral("Mario")},
                                     {QStringLiteral("surname"), QStringLiteral("Rossi")},
                                     {QStringLiteral("familiar_name"), QStringLiteral("Mario")},
                                     {QStringLiteral("display_name"),
                                      QStringLiteral("Mario Rossi")}}},
                        {QStringLiteral("email"), QStringLiteral("mario.rossi@example.it")},
                        {QStringLiteral("country"), QStringLiteral("IT")},
                        {QStringLiteral("locale"), QStringLiteral("it")},
                        {QStringLiteral("referral_link"), QStringLiteral("https://db.tt/ZITNuhtI")},
                        {QStringLiteral("is_paired"), false},
                        {QStringLiteral("account_type"),
                         QJsonObject{{QStringLiteral(".tag"), QStringLiteral("basic")}}}};
    QJsonObject space{{QStringLiteral("used"), 314159},
                      {QStringLiteral("allocation"),
                       QJsonObject{{QStringLiteral(".tag"), QStringLiteral("individual")},
                                   {QStringLiteral("allocated"), 2147483648LL}}}};

    QList<Fault> faults;
    QList<TFakeRequest> requests;

    QString NewToken(const char *prefix)
    {
        return QStringLiteral("%1-%2-%3")
            .arg(QLatin1String(prefix))
            .arg(++tokenCounter)
            .arg(QString::fromLatin1(
                QCryptographicHash::hash(QByteArray::number(tokenCounter) + prefix,
                                         QCryptographicHash::Sha1)
                    .toHex()
                    .left(16)));
    }

    void Changed(const QString &lower) { journal.append({++seq, lower}); }

    QJsonObject Meta(const QString &lower) const
    {
        const Node &n = nodes[lower];
        QJsonObject o{{QStringLiteral(".tag"),
                       n.folder ? QStringLiteral("folder") : QStringLiteral("file")},
                      {QStringLiteral("name"), NameOf(n.display)},
                      {QStringLiteral("path_lower"), lower},
                      {QStringLiteral("path_display"), n.display},
                      {QStringLiteral("id"), n.id}};
        if (!n.folder) {
            const QString when = n.modified.toString(Qt::ISODate);
            o.insert(QStringLiteral("client_modified"), when);
            o.insert(QStringLiteral("server_modified"), when);
            o.insert(QStringLiteral("rev"), n.rev);
            o.insert(QStringLiteral("size"), n.size);
        }
        return o;
    }

    QJsonObject DeletedMeta(const QString &lower) const
    {
        const QString display = deleted.value(lower, lower);
        return {{QStringLiteral(".tag"), QStringLiteral("deleted")},
                {QStringLiteral("name"), NameOf(display)},
                {QStringLiteral("path_lower"), lower},
                {QStringLiteral("path_display"), display}};
    }

    // Makes the missing folders of a path (the service creates parents on the way).
    bool MakeParents(const QString &display)
    {
        const QString parent = ParentOf(display);
        if (parent.isEmpty())
            return true;
        const QString lower = Lower(parent);
        if (nodes.contains(lower))
            return nodes[lower].folder;
        if (!MakeParents(parent))
            return false;
        AddNode(parent, true, QByteArray(), 0, nullptr);
        return true;
    }

    void AddNode(const QString &display,
                 bool folder,
                 const QByteArray &content,
                 qint64 size,
                 const QByteArray *sha)
    {
        const QString lower = Lower(display);
        Node n;
        const bool existed = nodes.contains(lower);
        // Existing folders keep the case they were made with.
        const QString parent = ParentOf(lower);
        const QString shown = parent.isEmpty() || !nodes.contains(parent)
                                  ? display
                                  : nodes[parent].display + u'/' + NameOf(display);
        n.display = existed ? nodes[lower].display : shown;
        n.id = existed ? nodes[lower].id : QStringLiteral("id:fake%1").arg(++idCounter);
        n.folder = folder;
        n.size = folder ? 0 : size;
        n.content = size <= kKeepContent ? content : QByteArray();
        n.sha = sha ? *sha : QCryptographicHash::hash(content, QCryptographicHash::Sha256);
        n.rev = QStringLiteral("%1").arg(++idCounter * 7919, 9, 16, QLatin1Char('0'));
        n.modified = QDateTime::currentDateTimeUtc().addMSecs(
            -QDateTime::currentDateTimeUtc().time().msec());
        nodes.insert(lower, n);
        deleted.remove(lower);
        Changed(lower);
    }

    QStringList Under(const QString &lower, bool recursive) const
    {
        QStringList out;
        const QString prefix = lower + u'/';
        for (auto it = nodes.cbegin(); it != nodes.cend(); ++it) {
            if (!it.key().startsWith(prefix))
                continue;
            if (!recursive && it.key().indexOf(u'/', prefix.size()) >= 0)
                continue;
            out << it.key();
        }
        return out;
    }

    void RemoveTree(const QString &lower)
    {
        QStringList gone = Under(lower, true);
        gone.prepend(lower);
        for (const QString &p : gone) {
            deleted.insert(p, nodes[p].display);
            nodes.remove(p);
            Changed(p);
        }
    }

    QString JournalCursor(const QString &path, bool recursive, bool includeDeleted) const
    {
        return QStringLiteral("J%1|%2|%3|%4")
            .arg(seq)
            .arg(recursive ? 1 : 0)
            .arg(includeDeleted ? 1 : 0)
            .arg(path);
    }

    QJsonObject Page(int id, int offset)
    {
        const Snapshot &s = snapshots[id];
        QJsonArray page;
        for (int i = offset; i < s.entries.size() && i < offset + pageSize; ++i)
            page.append(s.entries.at(i));
        const bool more = offset + pageSize < s.entries.size();
        return {{s.key, page},
                {QStringLiteral("has_more"), more},
                {QStringLiteral("cursor"),
                 more ? QStringLiteral("S%1:%2").arg(id).arg(offset + pageSize) : s.finalCursor}};
    }

    QJsonObject NewListing(const QJsonArray &entries, const QString &key, const QString &finalCursor)
    {
        const int id = ++snapshotCounter;
        snapshots.insert(id, {entries, key, finalCursor});
        return Page(id, 0);
    }

    bool InScope(const QString &p, const QString &lowerRoot, bool recursive) const
    {
        if (!p.startsWith(lowerRoot + u'/'))
            return false;
        return recursive || p.indexOf(u'/', lowerRoot.size() + 1) < 0;
    }

    // --- Endpoints --------------------------------------------------------------------------

    Response ListFolder(const QJsonObject &arg)
    {
        const QString path = arg.value(QLatin1String("path")).toString();
        if (!ValidPath(path, true))
            return Text(400,
                        "Error in call to API function \"files/list_folder\": request body: "
                        "path: 'path' did not match pattern");
        const QString lower = Lower(path);
        if (!path.isEmpty() && !nodes.contains(lower))
            return PathError(QStringLiteral("path"), QStringLiteral("not_found"));
        if (!path.isEmpty() && !nodes[lower].folder)
            return PathError(QStringLiteral("path"), QStringLiteral("not_folder"));
        const bool recursive = arg.value(QLatin1String("recursive")).toBool();
        const bool includeDeleted = arg.value(QLatin1String("include_deleted")).toBool();
        QJsonArray entries;
        for (const QString &p : Under(lower, recursive))
            entries.append(Meta(p));
        if (includeDeleted) {
            for (auto it = deleted.cbegin(); it != deleted.cend(); ++it) {
                if (InScope(it.key(), lower, recursive))
                    entries.append(DeletedMeta(it.key()));
            }
        }
        return JsonAnswer(NewListing(entries,
                                     QStringLiteral("entries"),
                                     JournalCursor(lower, recursive, includeDeleted)));
    }

    Response Continue(const QJsonObject &arg, const QString &key)
    {
        const QString cursor = arg.value(QLatin1String("cursor")).toString();
        if (cursor.startsWith(u'S')) {
            const QStringList parts = cursor.mid(1).split(u':');
            const int id = parts.value(0).toInt();
            if (parts.size() == 2 && snapshots.contains(id) && snapshots[id].key == key)
                return JsonAnswer(Page(id, parts.value(1).toInt()));
        } else if (cursor.startsWith(u'J') && key == QLatin1String("entries")) {
            const QStringList parts = cursor.mid(1).split(u'|');
            if (parts.size() == 4) {
                const qint64 since = parts[0].toLongLong();
                const bool recursive = parts[1] == QLatin1String("1");
                const bool includeDeleted = parts[2] == QLatin1String("1");
                const QString root = parts[3];
                QStringList seen;
                QJsonArray entries;
                for (const auto &change : journal) {
                    if (change.first <= since || seen.contains(change.second)
                        || !InScope(change.second, root, recursive))
                        continue;
                    seen << change.second;
                    if (nodes.contains(change.second))
                        entries.append(Meta(change.second));
                    else if (includeDeleted)
                        entries.append(DeletedMeta(change.second));
                }
                return JsonAnswer(
                    NewListing(entries, key, JournalCursor(root, recursive, includeDeleted)));
            }
        }
        return Error409(QStringLiteral("reset/.."),
                        {{QStringLiteral(".tag"), QStringLiteral("reset")}});
    }

    Response LatestCursor(const QJsonObject &arg)
    {
        const QString path = arg.value(QLatin1String("path")).toString();
        if (!ValidPath(path, true))
            return PathError(QStringLiteral("path"), QStringLiteral("malformed_path"));
        return JsonAnswer({{QStringLiteral("cursor"),
                            JournalCursor(Lower(path),
                                          arg.value(QLatin1String("recursive")).toBool(),
                                          arg.value(QLatin1String("include_deleted")).toBool())}});
    }

    Response CreateFolder(const QJsonObject &arg)
    {
        const QString path = arg.value(QLatin1String("path")).toString();
        if (!ValidPath(path, false))
            return PathError(QStringLiteral("path"), QStringLiteral("malformed_path"));
        const QString lower = Lower(path);
        if (nodes.contains(lower))
            return PathError(QStringLiteral("path"),
                             QStringLiteral("conflict"),
                             nodes[lower].folder ? QStringLiteral("folder")
                                                 : QStringLiteral("file"));
        if (!MakeParents(path))
            return PathError(QStringLiteral("path"),
                             QStringLiteral("conflict"),
                             QStringLiteral("file"));
        AddNode(path, true, QByteArray(), 0, nullptr);
        return JsonAnswer(Meta(lower));
    }

    // Stores a file at path (mode overwrite or add); the error answer, or the metadata.
    Response Commit(const QString &path,
                    const QString &mode,
                    const QByteArray &content,
                    qint64 size,
                    const QByteArray &sha)
    {
        if (!ValidPath(path, false))
            return PathError(QStringLiteral("path"), QStringLiteral("malformed_path"));
        const QString lower = Lower(path);
        if (nodes.contains(lower)) {
            if (nodes[lower].folder)
                return PathError(QStringLiteral("path"),
                                 QStringLiteral("conflict"),
                                 QStringLiteral("folder"));
            if (mode == QLatin1String("add"))
                return PathError(QStringLiteral("path"),
                                 QStringLiteral("conflict"),
                                 QStringLiteral("file"));
        }
        if (!MakeParents(path))
            return PathError(QStringLiteral("path"),
                             QStringLiteral("conflict"),
                             QStringLiteral("file"));
        AddNode(path, false, content, size, &sha);
        return JsonAnswer(Meta(lower));
    }

    Response Upload(const QJsonObject &arg, const QByteArray &body)
    {
        return Commit(arg.value(QLatin1String("path")).toString(),
                      arg.value(QLatin1String("mode")).toString(QStringLiteral("add")),
                      body,
                      body.size(),
                      QCryptographicHash::hash(body, QCryptographicHash::Sha256));
    }

    Response SessionStart(const QJsonObject &arg, const QByteArray &body)
    {
        const QString id = QStringLiteral("sess-%1").arg(++idCounter);
        Session s;
        s.hash = std::make_shared<QCryptographicHash>(QCryptographicHash::Sha256);
        s.hash->addData(body);
        s.size = body.size();
        s.data = body;
        s.closed = arg.value(QLatin1String("close")).toBool();
        sessions.insert(id, s);
        return JsonAnswer({{QStringLiteral("session_id"), id}});
    }

    // Checks the cursor of an append or finish; an empty status means it is right.
    Response CheckCursor(const QJsonObject &cursor, bool nested, bool forFinish)
    {
        const QString id = cursor.value(QLatin1String("session_id")).toString();
        const qint64 offset = cursor.value(QLatin1String("offset")).toInteger(-1);
        auto wrap = [nested](const QString &summary, const QJsonObject &error) {
            if (!nested)
                return Error409(summary, error);
            return Error409(QStringLiteral("lookup_failed/") + summary,
                            {{QStringLiteral(".tag"), QStringLiteral("lookup_failed")},
                             {QStringLiteral("lookup_failed"), error}});
        };
        if (!sessions.contains(id))
            return wrap(QStringLiteral("not_found/"),
                        {{QStringLiteral(".tag"), QStringLiteral("not_found")}});
        const Session &s = sessions[id];
        if (s.closed && !forFinish)
            return wrap(QStringLiteral("closed/"),
                        {{QStringLiteral(".tag"), QStringLiteral("closed")}});
        if (offset != s.size)
            return wrap(QStringLiteral("incorrect_offset/.."),
                        {{QStringLiteral(".tag"), QStringLiteral("incorrect_offset")},
                         {QStringLiteral("correct_offset"), s.size}});
        Response ok;
        ok.status = 0;
        return ok;
    }

    void Append(Session &s, const QByteArray &body)
    {
        s.hash->addData(body);
        s.size += body.size();
        if (s.size <= kKeepContent)
            s.data += body;
        else
            s.data.clear();
    }

    Response SessionAppend(const QJsonObject &arg, const QByteArray &body)
    {
        const QJsonObject cursor = arg.value(QLatin1String("cursor")).toObject();
        Response check = CheckCursor(cursor, false, false);
        if (check.status)
            return check;
        Session &s = sessions[cursor.value(QLatin1String("session_id")).toString()];
        Append(s, body);
        s.closed = arg.value(QLatin1String("close")).toBool();
        return Text(200, "null", "application/json");
    }

    Response SessionFinish(const QJsonObject &arg, const QByteArray &body)
    {
        const QJsonObject cursor = arg.value(QLatin1String("cursor")).toObject();
        Response check = CheckCursor(cursor, true, true);
        if (check.status)
            return check;
        const QString id = cursor.value(QLatin1String("session_id")).toString();
        Session s = sessions[id];
        Append(s, body);
        const QJsonObject commit = arg.value(QLatin1String("commit")).toObject();
        Response r = Commit(commit.value(QLatin1String("path")).toString(),
                            commit.value(QLatin1String("mode")).toString(QStringLiteral("add")),
                            s.data,
                            s.size,
                            s.hash->result());
        if (r.status == 200)
            sessions.remove(id);
        return r;
    }

    Response StartJob(const QJsonObject &result)
    {
        const QString id = QStringLiteral("job-%1").arg(++jobCounter);
        jobs.insert(id, {result, 0});
        return JsonAnswer({{QStringLiteral(".tag"), QStringLiteral("async_job_id")},
                           {QStringLiteral("async_job_id"), id}});
    }

    Response CheckJob(const QJsonObject &arg)
    {
        const QString id = arg.value(QLatin1String("async_job_id")).toString();
        if (!jobs.contains(id))
            return Error409(QStringLiteral("invalid_async_job_id/"),
                            {{QStringLiteral(".tag"), QStringLiteral("invalid_async_job_id")}});
        Job &j = jobs[id];
        if (j.checks++ < jobChecksInProgress)
            return JsonAnswer({{QStringLiteral(".tag"), QStringLiteral("in_progress")}});
        return JsonAnswer(j.result);
    }

    Response FinishBatch(const QJsonObject &arg)
    {
        QJsonArray results;
        for (const QJsonValue &v : arg.value(QLatin1String("entries")).toArray()) {
            const QJsonObject e = v.toObject();
            Response r = SessionFinish(e, QByteArray());
            if (r.status == 200) {
                QJsonObject ok = QJsonDocument::fromJson(r.body).object();
                ok.insert(QStringLiteral(".tag"), QStringLiteral("success"));
                results.append(ok);
            } else {
                const QJsonObject err = QJsonDocument::fromJson(r.body).object();
                results.append(
                    QJsonObject{{QStringLiteral(".tag"), QStringLiteral("failure")},
                                {QStringLiteral("failure"), err.value(QLatin1String("error"))}});
            }
        }
        return StartJob({{QStringLiteral(".tag"), QStringLiteral("complete")},
                         {QStringLiteral("entries"), results}});
    }

    Response Relocate(const QString &from, const QString &to, bool move, QJsonObject *meta)
    {
        if (!ValidPath(from, false))
            return PathError(QStringLiteral("from_lookup"), QStringLiteral("malformed_path"));
        if (!ValidPath(to, false))
            return PathError(QStringLiteral("to"), QStringLiteral("malformed_path"));
        const QString lf = Lower(from), lt = Lower(to);
        if (!nodes.contains(lf))
            return PathError(QStringLiteral("from_lookup"), QStringLiteral("not_found"));
        if (nodes.contains(lt) && lt != lf)
            return PathError(QStringLiteral("to"),
                             QStringLiteral("conflict"),
                             nodes[lt].folder ? QStringLiteral("folder") : QStringLiteral("file"));
        if (!MakeParents(to))
            return PathError(QStringLiteral("to"),
                             QStringLiteral("conflict"),
                             QStringLiteral("file"));
        QStringList moving = Under(lf, true);
        moving.prepend(lf);
        QList<QPair<QString, Node>> copies;
        for (const QString &p : moving) {
            Node n = nodes[p];
            const QString newDisplay = to + n.display.mid(from.size());
            n.display = newDisplay;
            if (!move)
                n.id = QStringLiteral("id:fake%1").arg(++idCounter);
            copies.append({Lower(newDisplay), n});
        }
        if (move)
            RemoveTree(lf);
        for (const auto &c : copies) {
            nodes.insert(c.first, c.second);
            deleted.remove(c.first);
            Changed(c.first);
        }
        *meta = Meta(lt);
        return JsonAnswer({{QStringLiteral("metadata"), *meta}});
    }

    Response RelocationBatch(const QJsonObject &arg, bool move)
    {
        QJsonArray results;
        for (const QJsonValue &v : arg.value(QLatin1String("entries")).toArray()) {
            const QJsonObject e = v.toObject();
            QJsonObject meta;
            Response r = Relocate(e.value(QLatin1String("from_path")).toString(),
                                  e.value(QLatin1String("to_path")).toString(),
                                  move,
                                  &meta);
            if (r.status != 200) {
                const QJsonObject err = QJsonDocument::fromJson(r.body).object();
                return StartJob({{QStringLiteral(".tag"), QStringLiteral("failed")},
                                 {QStringLiteral("failed"), err.value(QLatin1String("error"))}});
            }
            results.append(QJsonObject{{QStringLiteral("metadata"), meta}});
        }
        return StartJob({{QStringLiteral(".tag"), QStringLiteral("complete")},
                         {QStringLiteral("entries"), results}});
    }

    Response Delete(const QString &path, QJsonObject *meta)
    {
        if (!ValidPath(path, false))
            return PathError(QStringLiteral("path_lookup"), QStringLiteral("malformed_path"));
        const QString lower = Lower(path);
        if (!nodes.contains(lower))
            return PathError(QStringLiteral("path_lookup"), QStringLiteral("not_found"));
        *meta = Meta(lower);
        RemoveTree(lower);
        return JsonAnswer({{QStringLiteral("metadata"), *meta}});
    }

    Response DeleteBatch(const QJsonObject &arg)
    {
        QJsonArray results;
        for (const QJsonValue &v : arg.value(QLatin1String("entries")).toArray()) {
            QJsonObject meta;
            Response r = Delete(v.toObject().value(QLatin1String("path")).toString(), &meta);
            if (r.status == 200) {
                results.append(QJsonObject{{QStringLiteral(".tag"), QStringLiteral("success")},
                                           {QStringLiteral("metadata"), meta}});
            } else {
                results.append(QJsonObject{{QStringLiteral(".tag"), QStringLiteral("failure")},
                                           {QStringLiteral("failure"),
                                            QJsonDocument::fromJson(r.body).object().value(
                                                QLatin1String("error"))}});
            }
        }
        return StartJob({{QStringLiteral(".tag"), QStringLiteral("complete")},
                         {QStringLiteral("entries"), results}});
    }

    Response Share(const QJsonObject &arg)
    {
        const QString path = arg.value(QLatin1String("path")).toString();
        if (!ValidPath(path, false))
            return PathError(QStringLiteral("path"), QStringLiteral("malformed_path"));
        const QString lower = Lower(path);
        if (!nodes.contains(lower))
            return PathError(QStringLiteral("path"), QStringLiteral("not_found"));
        const Node &n = nodes[lower];
        const QString key = QString::fromLatin1(
            QCryptographicHash::hash(n.id.toUtf8(), QCryptographicHash::Md5).toHex().left(12));
        const QString url = arg.value(QLatin1String("short_url")).toBool()
                                ? QStringLiteral("https://db.tt/") + key
                                : QStringLiteral("https://www.dropbox.com/s/%1/%2?dl=0")
                                      .arg(key,
                                           QString::fromLatin1(
                                               QUrl::toPercentEncoding(NameOf(n.display))));
        return JsonAnswer({{QStringLiteral("url"), url},
                           {QStringLiteral("path"), n.display},
                           {QStringLiteral("visibility"),
                            QJsonObject{{QStringLiteral(".tag"), QStringLiteral("public")}}}});
    }

    Response Search(const QJsonObject &arg)
    {
        const QString query = arg.value(QLatin1String("query")).toString();
        const QString root = Lower(
            arg.value(QLatin1String("options")).toObject().value(QLatin1String("path")).toString());
        QJsonArray matches;
        for (auto it = nodes.cbegin(); it != nodes.cend(); ++it) {
            if (!InScope(it.key(), root, true))
                continue;
            if (!NameOf(it.value().display).contains(query, Qt::CaseInsensitive))
                continue;
            matches.append(
                QJsonObject{{QStringLiteral("match_type"),
                             QJsonObject{{QStringLiteral(".tag"), QStringLiteral("filename")}}},
                            {QStringLiteral("metadata"),
                             QJsonObject{{QStringLiteral(".tag"), QStringLiteral("metadata")},
                                         {QStringLiteral("metadata"), Meta(it.key())}}}});
        }
        return JsonAnswer(NewListing(matches, QStringLiteral("matches"), QString()));
    }

    Response Download(const QJsonObject &arg)
    {
        const QString path = arg.value(QLatin1String("path")).toString();
        if (!ValidPath(path, false))
            return PathError(QStringLiteral("path"), QStringLiteral("malformed_path"));
        const QString lower = Lower(path);
        if (!nodes.contains(lower))
            return PathError(QStringLiteral("path"), QStringLiteral("not_found"));
        if (nodes[lower].folder)
            return PathError(QStringLiteral("path"), QStringLiteral("not_file"));
        Response r;
        r.contentType = "application/octet-stream";
        r.body = nodes[lower].content;
        r.headers.append({"Dropbox-API-Result", AsciiJson(Meta(lower))});
        return r;
    }

    Response Token(const QByteArray &body)
    {
        const QUrlQuery form(QString::fromUtf8(body));
        auto value = [&form](const char *key) {
            return form.queryItemValue(QLatin1String(key), QUrl::FullyDecoded);
        };
        auto refuse = [](const char *error, const char *description) {
            Response r;
            r.status = 400;
            r.body = Json({{QStringLiteral("error"), QLatin1String(error)},
                           {QStringLiteral("error_description"), QLatin1String(description)}});
            return r;
        };
        if (value("client_id") != clientId || value("client_secret") != clientSecret)
            return refuse("invalid_client", "Invalid client_id or client_secret");
        const QString grant = value("grant_type");
        if (grant == QLatin1String("refresh_token")) {
            if (!refreshTokens.contains(value("refresh_token")))
                return refuse("invalid_grant", "refresh token is invalid or revoked");
            const QString token = NewToken("sl.access");
            accessTokens << token;
            return JsonAnswer({{QStringLiteral("access_token"), token},
                               {QStringLiteral("token_type"), QStringLiteral("bearer")},
                               {QStringLiteral("expires_in"), 14400}});
        }
        if (grant == QLatin1String("authorization_code")) {
            const QString code = value("code");
            if (!codes.contains(code))
                return refuse("invalid_grant", "code doesn't exist or has expired");
            const Code c = codes.take(code);
            if (!c.challenge.isEmpty()) {
                const QString verifier = value("code_verifier");
                const QString expected = QString::fromLatin1(
                    QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256)
                        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
                if (verifier.isEmpty() || expected != c.challenge)
                    return refuse("invalid_grant", "invalid code verifier");
                if (value("redirect_uri") != c.redirect)
                    return refuse("invalid_grant", "redirect_uri mismatch");
            }
            const QString token = NewToken("sl.access");
            const QString refresh = NewToken("refresh");
            accessTokens << token;
            refreshTokens << refresh;
            return JsonAnswer(
                {{QStringLiteral("access_token"), token},
                 {QStringLiteral("refresh_token"), refresh},
                 {QStringLiteral("token_type"), QStringLiteral("bearer")},
                 {QStringLiteral("expires_in"), 14400},
                 {QStringLiteral("account_id"), account.value(QLatin1String("account_id"))}});
        }
        return refuse("unsupported_grant_type", "grant_type is not supported");
    }

    Response Route(const QString &command, const QJsonObject &arg, const QByteArray &body)
    {
        if (command == QLatin1String("/files/list_folder"))
            return ListFolder(arg);
        if (command == QLatin1String("/files/list_folder/continue"))
            return Continue(arg, QStringLiteral("entries"));
        if (command == QLatin1String("/files/list_folder/get_latest_cursor"))
            return LatestCursor(arg);
        if (command == QLatin1String("/files/create_folder"))
            return CreateFolder(arg);
        if (command == QLatin1String("/files/upload"))
            return Upload(arg, body);
        if (command == QLatin1String("/files/upload_session/start"))
            return SessionStart(arg, body);
        if (command == QLatin1String("/files/upload_session/append_v2"))
            return SessionAppend(arg, body);
        if (command == QLatin1String("/files/upload_session/finish"))
            return SessionFinish(arg, body);
        if (command == QLatin1String("/files/upload_session/finish_batch"))
            return FinishBatch(arg);
        if (command.endsWith(QLatin1String("/check")))
            return CheckJob(arg);
        if (command == QLatin1String("/sharing/create_shared_link"))
            return Share(arg);
        if (command == QLatin1String("/files/get_metadata")) {
            const QString path = arg.value(QLatin1String("path")).toString();
            if (!ValidPath(path, false))
                return PathError(QStringLiteral("path"), QStringLiteral("malformed_path"));
            if (!nodes.contains(Lower(path)))
                return PathError(QStringLiteral("path"), QStringLiteral("not_found"));
            return JsonAnswer(Meta(Lower(path)));
        }
        if (command == QLatin1String("/files/move_v2")
            || command == QLatin1String("/files/copy_v2")) {
            QJsonObject meta;
            return Relocate(arg.value(QLatin1String("from_path")).toString(),
                            arg.value(QLatin1String("to_path")).toString(),
                            command == QLatin1String("/files/move_v2"),
                            &meta);
        }
        if (command == QLatin1String("/files/move_batch"))
            return RelocationBatch(arg, true);
        if (command == QLatin1String("/files/copy_batch"))
            return RelocationBatch(arg, false);
        if (command == QLatin1String("/files/delete_v2")) {
            QJsonObject meta;
            return Delete(arg.value(QLatin1String("path")).toString(), &meta);
        }
        if (command == QLatin1String("/files/delete_batch"))
            return DeleteBatch(arg);
        if (command == QLatin1String("/files/search_v2"))
            return Search(arg);
        if (command == QLatin1String("/files/search/continue_v2"))
            return Continue(arg, QStringLiteral("matches"));
        if (command == QLatin1String("/files/download"))
            return Download(arg);
        if (command == QLatin1String("/users/get_current_account"))
            return JsonAnswer(account);
        if (command == QLatin1String("/users/get_space_usage"))
            return JsonAnswer(space);
        return Text(404, "Unknown API function: " + command.toUtf8());
    }

    static bool IsContent(const QString &command)
    {
        return command == QLatin1String("/files/upload")
               || command == QLatin1String("/files/download")
               || command == QLatin1String("/files/upload_session/start")
               || command == QLatin1String("/files/upload_session/append_v2")
               || command == QLatin1String("/files/upload_session/finish");
    }

    Response Handle(const TFakeRequest &request, const QByteArray &body, QJsonObject *argOut)
    {
        if (request.path == QLatin1String("/oauth2/token")) {
            if (!request.headers.value("content-type")
                     .startsWith("application/x-www-form-urlencoded"))
                return Text(400, "Bad Content-Type for the token endpoint");
            return Token(body);
        }
        if (!request.path.startsWith(QLatin1String("/2/")))
            return Text(404, "Not found");
        const QByteArray auth = request.headers.value("authorization");
        const QString token = QString::fromUtf8(auth.mid(7));
        if (!auth.startsWith("Bearer ") || !accessTokens.contains(token)) {
            const bool expired = expiredTokens.contains(token);
            const QString tag = expired ? QStringLiteral("expired_access_token")
                                        : QStringLiteral("invalid_access_token");
            Response r;
            r.status = 401;
            r.body = Json({{QStringLiteral("error_summary"), tag + QStringLiteral("/..")},
                           {QStringLiteral("error"), QJsonObject{{QStringLiteral(".tag"), tag}}}});
            return r;
        }
        const QString command = request.path.mid(2);
        QJsonObject arg;
        if (IsContent(command)) {
            const QByteArray header = request.headers.value("dropbox-api-arg");
            for (const char c : header) {
                if (uchar(c) >= 0x80)
                    return Text(400,
                                "Error in call to API function: Dropbox-API-Arg header "
                                "contains characters that are not ASCII");
            }
            const QByteArray type = request.headers.value("content-type");
            if (command == QLatin1String("/files/download") ? !type.isEmpty()
                                                            : type != "application/octet-stream")
                return Text(400,
                            "Error in call to API function: Bad HTTP \"Content-Type\" "
                            "header: \""
                                + type + "\"");
            arg = QJsonDocument::fromJson(header).object();
        } else {
            if (!request.headers.value("content-type").startsWith("application/json"))
                return Text(400,
                            "Error in call to API function: Bad HTTP \"Content-Type\" "
                            "header");
            QJsonParseError e;
            const QJsonDocument doc = QJsonDocument::fromJson(body, &e);
            if (body.trimmed() != "null" && (e.error != QJsonParseError::NoError || !doc.isObject()))
                return Text(400, "Error in call to API function: could not decode input as JSON");
            arg = doc.object();
        }
        *argOut = arg;
        return Route(command, arg, body);
    }
};

TFakeDropbox::TFakeDropbox(const TTestCertificates &certificates)
    : m_certificates(certificates)
    , m_state(std::make_unique<State>())
{
    start();
    while (m_port.load() == 0 && !m_failed.load())
        QThread::msleep(2);
}

TFakeDropbox::~TFakeDropbox()
{
    quit();
    wait();
}

QString TFakeDropbox::Host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(Port());
}

QString TFakeDropbox::SilentHost() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_silentPort.load());
}

namespace {

struct Connection
{
    QByteArray buffer;
    bool handled = false;
};

QByteArray StatusText(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 307:
        return "Temporary Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 409:
        return "Conflict";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray Serialize(const Response &r)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + StatusText(r.status)
                     + "\r\n";
    out += "Content-Type: " + r.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
    for (const auto &h : r.headers)
        out += h.first + ": " + h.second + "\r\n";
    out += "Connection: close\r\n\r\n";
    out += r.body;
    return out;
}

void Finish(QTcpSocket *s, const QByteArray &bytes)
{
    s->write(bytes);
    s->disconnectFromHost();
}

} // namespace

void TFakeDropbox::run()
{
    QSslServer server;
    QTcpServer silent;
    QList<QTcpSocket *> silentSockets;
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    QFile certFile(m_certificates.certFile), keyFile(m_certificates.keyFile);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        m_failed.store(true);
        return;
    }
    conf.setLocalCertificate(QSslCertificate(certFile.readAll(), QSsl::Pem));
    conf.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec, QSsl::Pem));
    conf.setPeerVerifyMode(QSslSocket::VerifyNone);
    conf.setProtocol(QSsl::TlsV1_2OrLater);
    server.setSslConfiguration(conf);
    if (!server.listen(QHostAddress::LocalHost, 0) || !silent.listen(QHostAddress::LocalHost, 0)) {
        m_failed.store(true);
        return;
    }
    QObject::connect(&silent, &QTcpServer::newConnection, &silent, [&silent, &silentSockets] {
        while (QTcpSocket *s = silent.nextPendingConnection())
            silentSockets << s; // never answered; closed with the server
    });
    // A TLS server hands out a connection once its handshake is done, which newConnection
    // does not wait for.
    QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, &server, [this, &server] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            auto *conn = new Connection;
            QObject::connect(socket, &QObject::destroyed, [conn] { delete conn; });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            auto onData = [this, socket, conn] {
                if (conn->handled)
                    return;
                conn->buffer += socket->readAll();
                const int end = conn->buffer.indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                TFakeRequest request;
                const QList<QByteArray> lines = conn->buffer.left(end).split('\n');
                const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
                request.path = QString::fromUtf8(first.value(1));
                request.path = request.path.left(request.path.indexOf(u'?') < 0
                                                     ? request.path.size()
                                                     : request.path.indexOf(u'?'));
                for (int i = 1; i < lines.size(); ++i) {
                    const QByteArray line = lines[i].trimmed();
                    const int colon = line.indexOf(':');
                    if (colon > 0)
                        request.headers.insert(line.left(colon).trimmed().toLower(),
                                               line.mid(colon + 1).trimmed());
                }
                const qint64 length = request.headers.value("content-length", "0").toLongLong();
                if (conn->buffer.size() - end - 4 < length)
                    return;
                conn->handled = true;
                const QByteArray body = conn->buffer.mid(end + 4, length);
                conn->buffer.clear();
                request.body = body.left(64 * 1024);
                request.bodySize = body.size();

                QMutexLocker lock(&m_mutex);
                State &st = *m_state;
                const QString command = request.path.startsWith(QLatin1String("/2/"))
                                            ? request.path.mid(2)
                                            : request.path;
                Fault fault;
                bool faulted = false;
                for (int i = 0; i < st.faults.size(); ++i) {
                    const Fault &f = st.faults[i];
                    if (!f.command.isEmpty() && f.command != command)
                        continue;
                    if (f.kind == Fault::Unauthorized
                        && !request.path.startsWith(QLatin1String("/2/")))
                        continue;
                    fault = st.faults.takeAt(i);
                    faulted = true;
                    break;
                }
                QJsonObject arg;
                Response response;
                if (!faulted || fault.kind == Fault::Stall || fault.kind == Fault::HandleDrop) {
                    response = st.Handle(request, body, &arg);
                } else if (fault.kind == Fault::Unauthorized) {
                    response.status = 401;
                    response.body = Json({{QStringLiteral("error_summary"),
                                           QStringLiteral("expired_access_token/..")},
                                          {QStringLiteral("error"),
                                           QJsonObject{{QStringLiteral(".tag"),
                                                        QStringLiteral("expired_access_token")}}}});
                } else if (fault.kind == Fault::Conflict) {
                    response = Error409(fault.summary, fault.error);
                } else if (fault.kind == Fault::Text) {
                    response = Text(fault.status, fault.text, fault.contentType);
                } else if (fault.kind == Fault::Redirect) {
                    response = Text(307, QByteArray());
                    response.headers.append(
                        {"Location",
                         "https://127.0.0.1:" + QByteArray::number(Port()) + "/2" + command.toUtf8()
                             + "?redirected=" + QByteArray::number(st.requests.size())});
                }
                if (arg.isEmpty() && request.path.startsWith(QLatin1String("/2/"))) {
                    const QByteArray header = request.headers.value("dropbox-api-arg");
                    arg = QJsonDocument::fromJson(header.isEmpty() ? body : header).object();
                }
                request.arg = arg;
                st.requests.append(request);
                lock.unlock();

                if (faulted
                    && (fault.kind == Fault::DropBefore || fault.kind == Fault::HandleDrop)) {
                    socket->abort();
                    socket->deleteLater();
                    return;
                }
                if (faulted && fault.kind == Fault::DropMid) {
                    QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                      "Content-Length: 4000\r\nConnection: close\r\n\r\n"
                                      "{\"entries\": [";
                    socket->write(head);
                    socket->flush();
                    QTimer::singleShot(100, socket, [socket] {
                        socket->abort();
                        socket->deleteLater();
                    });
                    return;
                }
                const QByteArray bytes = Serialize(response);
                if (faulted && fault.kind == Fault::Stall) {
                    QPointer<QTcpSocket> guard(socket);
                    QTimer::singleShot(fault.ms, socket, [guard, bytes] {
                        if (guard && guard->state() == QAbstractSocket::ConnectedState)
                            Finish(guard, bytes);
                    });
                    return;
                }
                Finish(socket, bytes);
            };
            QObject::connect(socket, &QTcpSocket::readyRead, socket, onData);
            if (socket->bytesAvailable() > 0)
                onData();
        }
    });
    m_silentPort.store(silent.serverPort());
    m_port.store(server.serverPort());
    exec();
    qDeleteAll(silentSockets);
}

// --- Settings and observations ------------------------------------------------------------

QString TFakeDropbox::ClientId() const
{
    QMutexLocker lock(&m_mutex);
    return m_state->clientId;
}

QString TFakeDropbox::ClientSecret() const
{
    QMutexLocker lock(&m_mutex);
    return m_state->clientSecret;
}

QString TFakeDropbox::IssueAccessToken()
{
    QMutexLocker lock(&m_mutex);
    const QString t = m_state->NewToken("sl.access");
    m_state->accessTokens << t;
    return t;
}

QString TFakeDropbox::IssueRefreshToken()
{
    QMutexLocker lock(&m_mutex);
    const QString t = m_state->NewToken("refresh");
    m_state->refreshTokens << t;
    return t;
}

void TFakeDropbox::ExpireAccessToken(const QString &token)
{
    QMutexLocker lock(&m_mutex);
    m_state->accessTokens.removeAll(token);
    m_state->expiredTokens << token;
}

QString TFakeDropbox::GrantCode(const QString &authorizeUrl)
{
    const QUrl url(authorizeUrl);
    const QUrlQuery q(url);
    QMutexLocker lock(&m_mutex);
    if (url.path() != QLatin1String("/oauth2/authorize")
        || q.queryItemValue(QStringLiteral("client_id")) != m_state->clientId
        || q.queryItemValue(QStringLiteral("response_type")) != QLatin1String("code"))
        return QString();
    State::Code c;
    if (q.hasQueryItem(QStringLiteral("code_challenge"))) {
        if (q.queryItemValue(QStringLiteral("code_challenge_method")) != QLatin1String("S256"))
            return QString();
        c.challenge = q.queryItemValue(QStringLiteral("code_challenge"));
        c.redirect = q.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded);
    }
    const QString code = m_state->NewToken("code");
    m_state->codes.insert(code, c);
    return code;
}

void TFakeDropbox::AddFolder(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    m_state->MakeParents(path);
    m_state->AddNode(path, true, QByteArray(), 0, nullptr);
}

void TFakeDropbox::AddFile(const QString &path, const QByteArray &content)
{
    QMutexLocker lock(&m_mutex);
    m_state->MakeParents(path);
    m_state->AddNode(path, false, content, content.size(), nullptr);
}

bool TFakeDropbox::Exists(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_state->nodes.contains(path.toLower());
}

bool TFakeDropbox::IsFolder(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_state->nodes.value(path.toLower()).folder;
}

QString TFakeDropbox::DisplayPath(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_state->nodes.value(path.toLower()).display;
}

QByteArray TFakeDropbox::Content(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_state->nodes.value(path.toLower()).content;
}

qint64 TFakeDropbox::Size(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_state->nodes.value(path.toLower()).size;
}

QByteArray TFakeDropbox::Sha256(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_state->nodes.value(path.toLower()).sha;
}

QStringList TFakeDropbox::Children(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    QStringList out;
    for (const QString &p :
         m_state->Under(path.toLower() == QLatin1String("/") ? QString() : path.toLower(), false))
        out << NameOf(m_state->nodes[p].display);
    out.sort(Qt::CaseInsensitive);
    return out;
}

int TFakeDropbox::OpenSessions() const
{
    QMutexLocker lock(&m_mutex);
    return m_state->sessions.size();
}

void TFakeDropbox::SetPageSize(int entries)
{
    QMutexLocker lock(&m_mutex);
    m_state->pageSize = qMax(1, entries);
}

void TFakeDropbox::SetAccount(const QJsonObject &account)
{
    QMutexLocker lock(&m_mutex);
    m_state->account = account;
}

void TFakeDropbox::SetSpaceUsage(const QJsonObject &usage)
{
    QMutexLocker lock(&m_mutex);
    m_state->space = usage;
}

void TFakeDropbox::SetJobChecksInProgress(int checks)
{
    QMutexLocker lock(&m_mutex);
    m_state->jobChecksInProgress = checks;
}

void TFakeDropbox::Fail401(int times, const QString &command)
{
    QMutexLocker lock(&m_mutex);
    for (int i = 0; i < times; ++i) {
        Fault f;
        f.kind = Fault::Unauthorized;
        f.command = command;
        m_state->faults << f;
    }
}

void TFakeDropbox::Fail409(const QString &command, const QString &summary, const QJsonObject &error)
{
    QMutexLocker lock(&m_mutex);
    Fault f;
    f.kind = Fault::Conflict;
    f.command = command;
    f.summary = summary;
    f.error = error;
    m_state->faults << f;
}

void TFakeDropbox::Stall(const QString &command, int ms)
{
    QMutexLocker lock(&m_mutex);
    Fault f;
    f.kind = Fault::Stall;
    f.command = command;
    f.ms = ms;
    m_state->faults << f;
}

void TFakeDropbox::DropBeforeAnswer(const QString &command)
{
    QMutexLocker lock(&m_mutex);
    Fault f;
    f.kind = Fault::DropBefore;
    f.command = command;
    m_state->faults << f;
}

void TFakeDropbox::DropMidAnswer(const QString &command)
{
    QMutexLocker lock(&m_mutex);
    Fault f;
    f.kind = Fault::DropMid;
    f.command = command;
    m_state->faults << f;
}

void TFakeDropbox::HandleThenDrop(const QString &command)
{
    QMutexLocker lock(&m_mutex);
    Fault f;
    f.kind = Fault::HandleDrop;
    f.command = command;
    m_state->faults << f;
}

void TFakeDropbox::AnswerText(const QString &command,
                              int status,
                              const QByteArray &text,
                              const QByteArray &contentType)
{
    QMutexLocker lock(&m_mutex);
    Fault f;
    f.kind = Fault::Text;
    f.command = command;
    f.status = status;
    f.text = text;
    f.contentType = contentType;
    m_state->faults << f;
}

void TFakeDropbox::Redirect(const QString &command, int times)
{
    QMutexLocker lock(&m_mutex);
    for (int i = 0; i < times; ++i) {
        Fault f;
        f.kind = Fault::Redirect;
        f.command = command;
        m_state->faults << f;
    }
}

QList<TFakeRequest> TFakeDropbox::Requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_state->requests;
}

int TFakeDropbox::Count(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    int n = 0;
    for (const TFakeRequest &r : m_state->requests)
        n += r.path == path ? 1 : 0;
    return n;
}

void TFakeDropbox::ClearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_state->requests.clear();
}

// --- Proxy ----------------------------------------------------------------------------------

TFakeTunnelProxy::TFakeTunnelProxy(const QString &user, const QString &password)
    : m_expected("Basic " + (user + u':' + password).toUtf8().toBase64())
{
    start();
    while (m_port.load() == 0)
        QThread::msleep(2);
}

TFakeTunnelProxy::~TFakeTunnelProxy()
{
    quit();
    wait();
}

void TFakeTunnelProxy::run()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    // A TLS server hands out a connection once its handshake is done, which newConnection
    // does not wait for.
    QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, &server, [this, &server] {
        while (QTcpSocket *client = server.nextPendingConnection()) {
            auto *buffer = new QByteArray;
            QObject::connect(client, &QObject::destroyed, [buffer] { delete buffer; });
            QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QTcpSocket::readyRead, client, [this, client, buffer] {
                if (client->property("tunnel").toBool())
                    return;
                *buffer += client->readAll();
                const int end = buffer->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                const QList<QByteArray> lines = buffer->left(end).split('\n');
                const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
                QByteArray auth;
                for (const QByteArray &l : lines) {
                    if (l.toLower().startsWith("proxy-authorization:"))
                        auth = l.mid(20).trimmed();
                }
                if (first.value(0) != "CONNECT" || auth != m_expected) {
                    ++m_refusals;
                    client->write("HTTP/1.1 407 Proxy Authentication Required\r\n"
                                  "Proxy-Authenticate: Basic realm=\"test\"\r\n"
                                  "Content-Length: 0\r\nConnection: close\r\n\r\n");
                    client->disconnectFromHost();
                    return;
                }
                const QList<QByteArray> target = first.value(1).split(':');
                auto *upstream = new QTcpSocket(client);
                client->setProperty("tunnel", true);
                QObject::connect(upstream, &QTcpSocket::connected, client, [this, client] {
                    ++m_tunnels;
                    client->write("HTTP/1.1 200 Connection established\r\n\r\n");
                });
                QObject::connect(upstream, &QTcpSocket::readyRead, client, [client, upstream] {
                    client->write(upstream->readAll());
                });
                QObject::connect(client, &QTcpSocket::readyRead, upstream, [client, upstream] {
                    upstream->write(client->readAll());
                });
                QObject::connect(upstream, &QTcpSocket::disconnected, client, [client] {
                    client->disconnectFromHost();
                });
                QObject::connect(client, &QTcpSocket::disconnected, upstream, [upstream] {
                    upstream->disconnectFromHost();
                });
                upstream->connectToHost(QString::fromLatin1(target.value(0)),
                                        quint16(target.value(1).toUInt()));
            });
        }
    });
    m_port.store(server.serverPort());
    exec();
}

} // namespace cloud_test
