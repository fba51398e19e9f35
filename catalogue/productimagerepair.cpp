#include "catalogue/productimagerepair.h"

#include "common/imageroutines.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"

#include <memory>

namespace {

// Where each kind of listed picture lives and how its row is opened.
struct TImageTable
{
    const char *procedure;
    const char *table;
    const char *key;
    const char *field;
};

const TImageTable *TableOf(int nuTabella)
{
    static const TImageTable tables[] = {
        {"DatiImagesDettaglio", "Images_Dettagli", "idImage", "imgImage"},
        {"DatiImagesDettaglioPreview", "Images_Dettagli_Preview", "idImage", "imgPreview"},
        {"DatiImagesProdotto", "Images_Prodotti", "idImage", "imgImage"},
        {"DatiImagesProdottoPreview", "Images_Prodotti_Preview", "idImage", "imgPreview"},
        {"DatiImagesLayout", "Images_Layout", "idImage", "imgImage"},
        {"DatiSocieta", "Societa", "idSocieta", "imgLogo"},
    };
    return nuTabella >= 1 && nuTabella <= 6 ? &tables[nuTabella - 1] : nullptr;
}

bool IsJpeg(const QByteArray &bytes)
{
    return bytes.startsWith("\xFF\xD8\xFF");
}

} // namespace

QString ImageRepairCommand(TImageRepair repair, const QString &idFornitore, int nuAnno)
{
    return ExecText(QStringLiteral("EstraiImmaginiDaConvertire"),
                    {SqlInteger(int(repair)), SqlTextOrNull(idFornitore), SqlInteger(nuAnno)});
}

TImageRepairResult RepairImagesAsJpeg(TSTD_DBMODULE &db,
                                      TImageRepair repair,
                                      const QString &idFornitore,
                                      int nuAnno,
                                      const QString &userName,
                                      const std::function<void(int, int)> &progress)
{
    std::unique_ptr<TDataSet> list = db.Query(ImageRepairCommand(repair, idFornitore, nuAnno));
    TImageRepairResult result;
    result.total = list->RecordCount();
    const int kind = list->FieldIndex(QStringLiteral("nuTabella"));
    const int id = list->FieldIndex(QStringLiteral("idImage"));
    for (int r = 0; r < result.total; ++r) {
        if (progress)
            progress(r, result.total);
        const TImageTable *table = TableOf(list->ValueAt(r, kind).toInt());
        if (!table)
            continue;
        const QString key = list->ValueAt(r, id).toString();
        TEditableRecord record(&db,
                               QString::fromLatin1(table->table),
                               QString::fromLatin1(table->key));
        record.Open(ExecText(QString::fromLatin1(table->procedure), {SqlText(key)}));
        if (record.IsNew())
            continue; // gone meanwhile
        record.Edit();
        TField field = record.Data().FieldByName(QString::fromLatin1(table->field));
        const QByteArray stored = field.AsBytes();
        if (stored.isEmpty() || IsJpeg(stored)) {
            record.Cancel();
            continue;
        }
        QString error;
        const QImage picture = ImageReadChecked(stored, 0, &error);
        const QByteArray jpeg = picture.isNull() ? QByteArray() : ImageSaveJpegBytes(picture);
        if (jpeg.isEmpty()) {
            // Not a picture the program can read: left as it is, and counted.
            record.Cancel();
            ++result.unreadable;
            continue;
        }
        field.SetValue(jpeg);
        record.Post(userName, false);
        ++result.converted;
    }
    if (progress)
        progress(result.total, result.total);
    return result;
}
