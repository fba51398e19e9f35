#include "db/operatorpassword.h"

#include "db/commandtext.h"
#include "db/dbmodule.h"

void ChangeOperatorPassword(TSTD_DBMODULE &db,
                            const QString &userName,
                            const QString &currentBase64,
                            const QString &newBase64)
{
    std::unique_ptr<TDataSet> ds = db.Query(
        ExecText(QStringLiteral("CambiaPasswordOperatore"),
                 {SqlText(userName), SqlText(currentBase64), SqlText(newBase64)}));
    if (ds->RecordCount() == 0 || !ds->FieldByName(QStringLiteral("flOk")).AsBoolean())
        throw EDatabaseError(QStringLiteral("Cambio password non riuscito."));
}
