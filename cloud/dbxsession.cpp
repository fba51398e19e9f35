#include "cloud/dbxsession.h"

#include "cloud/clouderror.h"
#include "cloud/cloudsettings.h"
#include "cloud/dropbox.h"
#include "common/sessioninfo.h"

#include <memory>

namespace {

std::unique_ptr<TDropbox> g_client;
TDFileInfo *g_current = nullptr; // Not owned: an entry of g_client.

TDropbox &Client()
{
    if (!g_client)
        throw ECloudError(TCloudErrorKind::Usage,
                          QStringLiteral("Nessuna connessione al servizio cloud aperta."));
    return *g_client;
}

} // namespace

void DbxOpen()
{
    DbxClose();
    auto client = std::make_unique<TDropbox>();
    ApplyCloudSettings(*client, ReadCloudSettings(SessionInfo().sSettingsFile));
    g_client = std::move(client);
}

void DbxClose()
{
    g_current = nullptr;
    g_client.reset();
}

bool DbxSetCredentials(const QString &clientId,
                       const QString &clientSecret,
                       const QString &accessToken)
{
    if (!g_client)
        return false;
    g_client->ClientID = clientId;
    g_client->ClientSecret = clientSecret;
    g_client->AccessToken = accessToken;
    return true;
}

bool DbxFindFirst(const QString &path)
{
    TDropbox &client = Client();
    // The previous listing is no longer reachable once the current entry moves on.
    if (g_current && g_current->List)
        client.FindClose(g_current);
    g_current = nullptr;
    TDFileInfo *first = nullptr;
    const bool found = client.FindFirst(first, path) == 0;
    g_current = first;
    return found;
}

bool DbxFindNext()
{
    if (!g_client || !g_current || !g_current->List)
        return false;
    TDFileInfo *entry = g_current;
    if (g_client->FindNext(entry) != 0)
        return false;
    g_current = entry;
    return true;
}

bool DbxCreateFolder(const QString &path)
{
    TDFileInfo *folder = Client().CreateFolder(path);
    g_current = folder;
    return folder != nullptr;
}

bool DbxUploadFile(const QString &localFile, const QString &remotePath)
{
    TDFileInfo *file = Client().UploadFile(localFile, remotePath);
    g_current = file;
    return file != nullptr;
}

QString DbxShareCurrent()
{
    TDropbox &client = Client();
    if (!g_current)
        throw ECloudError(TCloudErrorKind::Usage,
                          QStringLiteral("Nessun elemento del servizio cloud da condividere."));
    return client.Share(*g_current, true);
}

const TDFileInfo *DbxCurrent()
{
    return g_current;
}

TDropbox *DbxClient()
{
    return g_client.get();
}
