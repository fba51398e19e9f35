#pragma once

// Where the program's database is, read from the global settings file (section SETTINGS).
//
//   SrvLoc         host of the server; empty means the local instance
//   DbLocalSocket  socket folder of the local instance (written by scripts/localdb.sh)
//   DbPort         port, default 5432
//   DbLogin, DbPassword  the program's own least-privilege login

#include "db/dbmodule.h"

#include <QString>

inline constexpr const char *kSettingsSection = "SETTINGS";

// The server as the program shows it: SrvLoc, or "localhost" for the local instance, followed
// by "\SQLEXPRESS,1433". The status caption shows the part before "\".
QString ServerNameFromSettings(const QString &settingsFile);
// Connection parameters of the program's login to the catalog.
TConnectionParams ConnectionParamsFromSettings(const QString &settingsFile, const QString &catalog);
