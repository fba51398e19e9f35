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
    if (ds->RecordCount() == 0)
        throw EDatabaseError(QStringLiteral("Cambio password non riuscito."));
    ds->First();
    if (!ds->FieldByName(QStringLiteral("flOk")).AsBoolean()) {
        // A wrong current password is answered, not raised: the database counts it.
        const TField reason = ds->FindField(QStringLiteral("ErrMess"));
        throw EDatabaseError(reason.Index() >= 0 && !reason.AsString().isEmpty()
                                 ? reason.AsString()
                                 : QStringLiteral("Cambio password non riuscito."));
    }
}
