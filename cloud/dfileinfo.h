#pragma once

// One entry of the cloud storage: a file, a folder or a deleted entry of a change list.

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <vector>

class TDFileList;

class TDFileInfo
{
public:
    QString Name;
    QString Path;        // lower case, from "path_lower"
    QString PathDisplay; // with the case the owner gave it, from "path_display"
    bool IsDir = false;
    bool IsDeleted = false;
    qint64 Size = 0;
    QString Revision;
    QString Id;
    QDateTime ServerModified; // UTC; invalid when absent
    QDateTime ClientModified;

    // The listing this entry belongs to and its place in it; nullptr for single results.
    TDFileList *List = nullptr; // Not owned.
    int Index = -1;

    // Fills the entry from one metadata object of the service (".tag", "name", "path_lower",
    // "path_display", "id", "size", "rev", "server_modified", "client_modified"). False when
    // the text is not a JSON object.
    bool ParseJSON(const QString &jsonString);
    void ParseJson(const QJsonObject &metadata);
    void Clear();
};

// The entries of one listing, in the order the client presents them. Owned by the client's
// find cache; entries keep their address while the list lives.
class TDFileList
{
public:
    std::vector<TDFileInfo> Items;
};

// Reads a date-time of the service: year-month-day, "T", hour:minute:second, optionally
// followed by fractions and a zone ("Z" or an offset); "yyyyMMdd" and "HHmmss" without
// separators are accepted too. Without a zone the time is taken as UTC. Invalid text gives an
// invalid QDateTime.
QDateTime ParseCloudDateTime(const QString &text);
