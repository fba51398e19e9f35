#pragma once

// The cloud session of the quote export: one client at a time and its current entry.
//
// DbxOpen makes the client from the global settings (hosts, trusted authorities, time-outs,
// proxy, trace; see cloudsettings.h). The routines raise the client's ECloudError; they do not
// catch it, so the caller reports the error and stops. TDbxSession closes the client when it
// goes out of scope, whatever happened.

#include <QString>

class TDFileInfo;
class TDropbox;

// Frees any open client and makes a new one.
void DbxOpen();
// Frees the client (and with it every entry it returned).
void DbxClose();
// Sets the three credentials on the client; false when no client is open.
bool DbxSetCredentials(const QString &clientId,
                       const QString &clientSecret,
                       const QString &accessToken);
// Lists the folder; the current entry becomes its first entry (folders first, then by name).
// True when the folder has at least one entry.
bool DbxFindFirst(const QString &path);
// The current entry becomes the next one of the same listing; false at the end.
bool DbxFindNext();
// Creates the folder; the current entry becomes the new folder. True when created.
bool DbxCreateFolder(const QString &path);
// Uploads the local file, overwriting (an upload session from 150 MiB on); the current entry
// becomes the uploaded file. True when uploaded.
bool DbxUploadFile(const QString &localFile, const QString &remotePath);
// A shared link (short form) to the current entry.
QString DbxShareCurrent();

// The current entry (nullptr when none) and the open client (nullptr when none); both owned
// by the session.
const TDFileInfo *DbxCurrent();
TDropbox *DbxClient();

class TDbxSession
{
public:
    TDbxSession() { DbxOpen(); }
    ~TDbxSession() { DbxClose(); }
    TDbxSession(const TDbxSession &) = delete;
    TDbxSession &operator=(const TDbxSession &) = delete;
};
