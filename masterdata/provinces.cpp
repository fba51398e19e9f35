#include "masterdata/provinces.h"

#include "common/dialogs.h"
#include "controls/tspecombobox.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"

std::unique_ptr<TDataSet> LoadProvinces()
{
    try {
        TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
        if (!db)
            return nullptr;
        return db->Query(ExecText(QStringLiteral("EstraiProvinceItaliane")));
    } catch (const EDatabaseError &e) {
        CheckLostConnection(e.ProviderText());
        return nullptr;
    }
}

void FillProvinceLookup(TSPEComboBox *box, const TDataSet *provinces)
{
    box->Reset();
    TDataSet *entries = box->qry();
    if (provinces) {
        entries->CopyStructureFrom(*provinces);
        entries->CreateDataSet();
        entries->AppendAllFrom(*provinces);
    } else {
        entries->AddFieldDef(QStringLiteral("Codice"), TFieldType::Text, 2);
        entries->AddFieldDef(QStringLiteral("Descrizione"), TFieldType::Text, 100);
        entries->CreateDataSet();
    }
    entries->First();
    box->Active(true);
}
