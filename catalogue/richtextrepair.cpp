#include "catalogue/richtextrepair.h"

#include "db/dataset.h"
#include "db/editablerecordset.h"
#include "reports/richtext.h"

#include <QApplication>
#include <QPalette>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>

TRepairedText ReformatNodeText(const QString &storedRtf)
{
    QTextEdit editor;
    RichTextLoad(storedRtf, &editor);
    QTextCursor cursor(editor.document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat block;
    block.setAlignment(Qt::AlignLeft);
    cursor.mergeBlockFormat(block);
    QTextCharFormat format;
    format.setFontFamilies({QStringLiteral("Arial")});
    format.setFontPointSize(13);
    format.setFontFixedPitch(false);
    format.setForeground(QApplication::palette().color(QPalette::WindowText));
    cursor.mergeCharFormat(format);
    return {RichEditText(&editor), editor.toPlainText()};
}

int RepairNodeTexts(TSTD_DBMODULE &db,
                    const QString &userName,
                    const std::function<void(int, int)> &progress)
{
    TEditableRecordSet texts(&db,
                             QStringLiteral("Prod_Comp_Parte_Txt"),
                             QStringLiteral("idTxtParte"));
    texts.Open(QStringLiteral("select * from Prod_Comp_Parte_Txt"));
    TDataSet &data = texts.Data();
    const int total = data.RecordCount();
    int written = 0;
    for (int recNo = 1; recNo <= total; ++recNo) {
        if (progress)
            progress(recNo, total);
        data.SetRecNo(recNo);
        TField rtf = data.FieldByName(QStringLiteral("txDescTxtParteRtf"));
        QString stored = rtf.AsString();
        if (stored.trimmed().isEmpty())
            stored = data.FieldByName(QStringLiteral("txDescTxtParte")).AsString();
        const TRepairedText repaired = ReformatNodeText(stored);
        data.Edit();
        rtf.SetValue(repaired.sRtf);
        data.FieldByName(QStringLiteral("txDescTxtParte")).SetValue(repaired.sPlain);
        data.Post();
        // One text at a time: what was written stays written.
        texts.Post(userName, false);
        ++written;
    }
    return written;
}
