#pragma once

// The operator's password change, checked and stored by the database.

#include <QString>

class TSTD_DBMODULE;

// Replaces the operator's password when the current one matches. Both passwords in their
// Base64 form (PasswordToBase64). Throws EDatabaseError, with the database's text
// ("Password attuale errata" when the current password is wrong).
void ChangeOperatorPassword(TSTD_DBMODULE &db,
                            const QString &userName,
                            const QString &currentBase64,
                            const QString &newBase64);
