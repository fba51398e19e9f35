#pragma once

// The operator's password change, checked and stored by the database.

#include <QString>

class TSTD_DBMODULE;

// Replaces the operator's password when the current one matches. Both passwords in their
// Base64 form (PasswordToBase64); they reach the server as bound parameters. Throws
// EDatabaseError, with the database's text ("Password attuale errata" when the current
// password is wrong; wrong passwords count towards the lock-out of the log-on).
void ChangeOperatorPassword(TSTD_DBMODULE &db,
                            const QString &userName,
                            const QString &currentBase64,
                            const QString &newBase64);
