#pragma once

// A customer-like dataset for the grid tests: deterministic rows with every field type.

#include "db/dataset.h"

#include <QDateTime>
#include <QStringList>

#include <memory>

inline QString GridTestName(int i)
{
    static const QStringList words{QStringLiteral("Rossi"),
                                   QStringLiteral("Bianchi"),
                                   QStringLiteral("Verdi"),
                                   QStringLiteral("Esposito"),
                                   QStringLiteral("Romano"),
                                   QStringLiteral("Colombo"),
                                   QStringLiteral("Ricci"),
                                   QStringLiteral("Marino"),
                                   QStringLiteral("Greco"),
                                   QStringLiteral("Bruno")};
    return words.at((i * 7) % words.size()) + QStringLiteral(" Impianti ")
           + QString::number(i % 97);
}

// Fields: idCliente, txCodCliente, txDenominazione, txLocalita, nuPreventivi, vlFatturato,
// flAttivo, dtMod, txNote (not visible). Every tenth row has no locality; txNote is null.
inline std::unique_ptr<TDataSet> MakeGridTestData(int rows)
{
    auto ds = std::make_unique<TDataSet>();
    TFieldDef id;
    id.name = QStringLiteral("idCliente");
    id.size = 38;
    id.visible = false;
    ds->AddFieldDef(id);
    TFieldDef cod;
    cod.name = QStringLiteral("txCodCliente");
    cod.size = 10;
    cod.displayLabel = QStringLiteral("Codice");
    cod.alignment = TFieldAlignment::Center;
    ds->AddFieldDef(cod);
    TFieldDef den;
    den.name = QStringLiteral("txDenominazione");
    den.size = 200;
    den.displayLabel = QStringLiteral("Ragione Sociale");
    den.displayWidth = 50;
    ds->AddFieldDef(den);
    TFieldDef loc;
    loc.name = QStringLiteral("txLocalita");
    loc.size = 50;
    loc.displayLabel = QStringLiteral("Località");
    ds->AddFieldDef(loc);
    TFieldDef num;
    num.name = QStringLiteral("nuPreventivi");
    num.type = TFieldType::Integer;
    num.displayLabel = QStringLiteral("N° preventivi");
    num.alignment = TFieldAlignment::Right;
    ds->AddFieldDef(num);
    TFieldDef val;
    val.name = QStringLiteral("vlFatturato");
    val.type = TFieldType::Real;
    val.displayLabel = QStringLiteral("Fatturato");
    val.displayFormat = QStringLiteral("#,##0.00");
    val.alignment = TFieldAlignment::Right;
    ds->AddFieldDef(val);
    TFieldDef flag;
    flag.name = QStringLiteral("flAttivo");
    flag.type = TFieldType::Flag;
    flag.displayLabel = QStringLiteral("Attivo");
    ds->AddFieldDef(flag);
    TFieldDef mod;
    mod.name = QStringLiteral("dtMod");
    mod.type = TFieldType::DateTime;
    mod.displayLabel = QStringLiteral("Modificato il");
    ds->AddFieldDef(mod);
    TFieldDef note;
    note.name = QStringLiteral("txNote");
    note.visible = false;
    ds->AddFieldDef(note);
    ds->CreateDataSet();
    const QDateTime base(QDate(2024, 1, 1), QTime(0, 0));
    for (int i = 0; i < rows; ++i) {
        ds->Append();
        ds->Fields(0).SetValue(QStringLiteral("{ID-%1}").arg(i, 6, 10, QLatin1Char('0')));
        ds->Fields(1).SetValue(QStringLiteral("C%1").arg(i, 5, 10, QLatin1Char('0')));
        ds->Fields(2).SetValue(GridTestName(i));
        if (i % 10 != 0)
            ds->Fields(3).SetValue(QStringLiteral("Località %1").arg(i % 13));
        ds->Fields(4).SetValue(i % 17);
        ds->Fields(5).SetValue(i * 10.5);
        ds->Fields(6).SetValue(i % 3 != 0);
        ds->Fields(7).SetValue(base.addDays(i % 400));
        ds->Post();
    }
    ds->First();
    return ds;
}
