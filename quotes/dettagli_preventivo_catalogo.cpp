// The catalogue half of the quote lines editor: the search of products by catalogue, text and
// kind, the chosen product's price lists and linked products, and adding them as lines.

#include "quotes/dettagli_preventivo.h"

#include "catalogue/cataloguecombo.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/krtcolor.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtgridmenu.h"
#include "controls/tkrtlabeledit.h"
#include "controls/tkrttoggleswitch.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/datasetroutines.h"
#include "db/dbmodule.h"
#include "domain/vrldettprev.h"
#include "masterdata/listdata.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

const char *const kClassName = "TDETTAGLI_PREVENTIVO";
const QColor kPurple(0x80, 0x00, 0x80);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kGreen(0x00, 0x80, 0x00);

QString Setting(const QString &key)
{
    return IniReadText(QStringLiteral("SETTINGS"),
                       key,
                       QLatin1String(kIniAbsent),
                       SessionInfo().sUserSettingsFile);
}

void SetSetting(const QString &key, const QString &value)
{
    IniWriteText(QStringLiteral("SETTINGS"), key, value, SessionInfo().sUserSettingsFile);
}

QString YesNo(bool on)
{
    return on ? QStringLiteral("SI") : QStringLiteral("NO");
}

bool DebugShown()
{
    return SessionInfo().bAdministrator && SessionInfo().iDebugPaneHeight > 0;
}

void Label(TDataSet &ds, const char *name, const QString &title, int width)
{
    TField f = ds.FieldByName(QLatin1String(name));
    f.SetDisplayLabel(title);
    f.Def().displayWidth = width;
}

QString CountCaption(const QString &word, int n)
{
    return n == 0 ? word : word + QStringLiteral(" (") + FormatNumber(0, n) + QLatin1Char(')');
}

} // namespace

void TDETTAGLI_PREVENTIVO::ExtractCatalogueProducts(bool withFilters)
{
    QStringList args;
    if (withFilters) {
        const QString text = EF_Find_DescProdotto->Text();
        args << QStringLiteral("1")
             << SqlText(DCB_Find_Fornitore->IdFornitore().isEmpty()
                            ? QString::fromLatin1(kAllCataloguesId)
                            : DCB_Find_Fornitore->IdFornitore())
             << SqlInteger(DCB_Find_Fornitore->NuAnno()) << SqlTextOrNull(text)
             << SqlFlag(CK_Find_Prodotti->isChecked()) << SqlFlag(CK_Find_Accessori->isChecked())
             << SqlFlag(CK_Find_Documentazioni->isChecked());
    } else {
        args << QStringLiteral("0");
    }
    const QString command = ExecText(QStringLiteral("EstraiProdottiForPreventivo"), args);
    if (DebugShown())
        AppendDebugLine(QLatin1String(kClassName) + QStringLiteral(".EstraiElencoProdotti: sSql: ")
                        + command);
    const QDateTime start = QDateTime::currentDateTime();
    DG_Prodotti->SetDataSet(nullptr);
    DG_ProdLinked->SetDataSet(nullptr);
    DG_ProdList->SetDataSet(nullptr);
    if (DST_GRID_Prodotti && m_productObserver)
        DST_GRID_Prodotti->RemoveObserver(m_productObserver.get());
    DST_GRID_Prodotti.reset();
    DST_GRID_ProdLinked.reset();
    DST_GRID_ProdList.reset();
    try {
        auto sets = TSTD_DBMODULE::Instance()->QueryMulti(command);
        if (sets.size() < 3)
            throw EDatabaseError(
                QStringLiteral("La funzione ha dato %1 insiemi di righe invece di 3.")
                    .arg(sets.size()));
        CreateMemoryCopy(DST_GRID_Prodotti, *sets[0], true);
        CopyAllRecords(*sets[0], *DST_GRID_Prodotti);
        CreateMemoryCopy(DST_GRID_ProdLinked, *sets[1], true);
        CopyAllRecords(*sets[1], *DST_GRID_ProdLinked);
        CreateMemoryCopy(DST_GRID_ProdList, *sets[2], true);
        CopyAllRecords(*sets[2], *DST_GRID_ProdList);
    } catch (const std::exception &e) {
        DST_GRID_Prodotti.reset();
        DST_GRID_ProdLinked.reset();
        DST_GRID_ProdList.reset();
        ShowDbError(QStringLiteral("Errore estrazione prodotti (ERR.P12)."), e);
        return;
    }
    AppendDebugTiming(QLatin1String(kClassName),
                      QStringLiteral("EstraiElencoProdotti"),
                      start,
                      QDateTime::currentDateTime());

    TDataSet &prod = *DST_GRID_Prodotti;
    prod.SetSort(CK_Find_OrdinaRecenti->isChecked() ? QStringLiteral("dtMaxOperation DESC")
                                                    : QStringLiteral("txDescProdotto"));
    ShowOnlyFields(prod, {QStringLiteral("txProdotto"), QStringLiteral("dtMaxOperation")});
    Label(prod, "txProdotto", QStringLiteral("Prodotto"), 60);
    Label(prod, "dtMaxOperation", QStringLiteral("Ult.Operaz."), 10);
    prod.FieldByName(QStringLiteral("dtMaxOperation")).Def().alignment = TFieldAlignment::Center;
    CK_Find_Prodotti->setText(CountCaption(QStringLiteral("Prodotti"),
                                           prod.CountMatching(QStringLiteral(
                                               "flAccessorio = 0 AND flDocumentazione = 0"))));
    CK_Find_Accessori->setText(
        CountCaption(QStringLiteral("Accessori"),
                     prod.CountMatching(QStringLiteral("flAccessorio = 1"))));
    CK_Find_Documentazioni->setText(
        CountCaption(QStringLiteral("Documentazioni"),
                     prod.CountMatching(QStringLiteral("flDocumentazione = 1"))));

    TDataSet &linked = *DST_GRID_ProdLinked;
    linked.SetSort(QStringLiteral("idProdotto, nuOrdineCollegamento"));
    ShowOnlyFields(linked, {QStringLiteral("nuQuantita"), QStringLiteral("txProdotto")});
    Label(linked, "nuQuantita", QStringLiteral("Qta"), 7);
    linked.FieldByName(QStringLiteral("nuQuantita")).Def().displayFormat = QStringLiteral(
        "#,##0.##");
    linked.FieldByName(QStringLiteral("nuQuantita")).Def().alignment = TFieldAlignment::Center;
    Label(linked, "txProdotto", QStringLiteral("Prodotto"), 70);

    TDataSet &lists = *DST_GRID_ProdList;
    lists.SetSort(QStringLiteral("idProdotto, vlListino DESC"));
    ShowOnlyFields(lists,
                   {QStringLiteral("txCodListino"),
                    QStringLiteral("txDescListino"),
                    QStringLiteral("vlListino")});
    Label(lists, "txCodListino", QStringLiteral("Codice"), 20);
    lists.FieldByName(QStringLiteral("txCodListino")).Def().alignment = TFieldAlignment::Center;
    Label(lists, "txDescListino", QStringLiteral("Descrizione listino"), 50);
    Label(lists, "vlListino", QStringLiteral("Importo Listino"), 20);
    lists.FieldByName(QStringLiteral("vlListino")).Def().displayFormat = QStringLiteral("#,##0.00");
    lists.FieldByName(QStringLiteral("vlListino")).Def().alignment = TFieldAlignment::Right;

    PAN_Linked->hide();
    PB_Print_ProdSelezionato->setVisible(prod.RecordCount() > 0);
    prod.First();
    if (!sLastIdProdotto.isEmpty())
        prod.Locate(QStringLiteral("idProdotto"), sLastIdProdotto, loCaseInsensitive);
    DG_ProdLinked->SetColumns({});
    DG_ProdLinked->SetDataSet(&linked);
    DG_ProdList->SetColumns({});
    DG_ProdList->SetDataSet(&lists);
    DG_Prodotti->SetColumns({});
    DG_Prodotti->SetDataSet(&prod);
    if (!m_productObserver)
        m_productObserver = std::make_unique<TObserver>(this);
    prod.AddObserver(m_productObserver.get());
    SyncCatalogueProduct();
}

void TDETTAGLI_PREVENTIVO::PB_EstraiElencoClick()
{
    if (!m_catalogueStarted) {
        StartCatalogue(); // extracts with the filters it restores
        return;
    }
    EF_Find_DescProdotto->SetText(CollapseSpaces(EF_Find_DescProdotto->Text()));
    ExtractCatalogueProducts(true);
    SaveProductSearchFilters();
    DG_Prodotti->setFocus();
}

void TDETTAGLI_PREVENTIVO::PB_AzzeraFiltriClick()
{
    const bool onlyCurrent = !DST_Find_Fornitori || OnlyCurrentCatalogues(*DST_Find_Fornitori);
    TS_Cataloghi->setChecked(false);
    TS_Cataloghi->setVisible(!onlyCurrent);
    DCB_Find_Fornitore->ShowPrevious(false);
    EF_Find_DescProdotto->SetText(QString());
    CK_Find_OrdinaRecenti->setChecked(true);
    CK_Find_Prodotti->setChecked(true);
    CK_Find_Accessori->setChecked(true);
    CK_Find_Documentazioni->setChecked(false);
    SaveProductSearchFilters();
    FocusField(EF_Find_DescProdotto->Edit());
}

void TDETTAGLI_PREVENTIVO::ReadProductSearchFilters()
{
    if (Setting(QStringLiteral("FrmDettPrev_TipoCataloghi")) == QLatin1String(kIniAbsent)) {
        PB_AzzeraFiltriClick();
        return;
    }
    const bool onlyCurrent = !DST_Find_Fornitori || OnlyCurrentCatalogues(*DST_Find_Fornitori);
    const bool previous = !onlyCurrent
                          && Setting(QStringLiteral("FrmDettPrev_TipoCataloghi"))
                                 == QLatin1String("SI");
    TS_Cataloghi->setChecked(previous);
    TS_Cataloghi->setVisible(!onlyCurrent);
    DCB_Find_Fornitore->ShowPrevious(previous);
    bool ok = false;
    const int year = Setting(QStringLiteral("FrmDettPrev_NuAnnoFornitore")).toInt(&ok);
    DCB_Find_Fornitore->Select(Setting(QStringLiteral("FrmDettPrev_KeyFornitore")), ok ? year : 0);
    const QString text = Setting(QStringLiteral("FrmDettPrev_DescProdotto"));
    EF_Find_DescProdotto->SetText(text == QLatin1String(kIniAbsent) ? QString() : text);
    auto box = [](const QString &v) { return v != QLatin1String("NO"); };
    CK_Find_OrdinaRecenti->setChecked(box(Setting(QStringLiteral("FrmDettPrev_OrdinaRecenti"))));
    CK_Find_Prodotti->setChecked(box(Setting(QStringLiteral("FrmDettPrev_EstraiProdotti"))));
    CK_Find_Accessori->setChecked(box(Setting(QStringLiteral("FrmDettPrev_EstraiAccessori"))));
    CK_Find_Documentazioni->setChecked(
        box(Setting(QStringLiteral("FrmDettPrev_EstraiDocumentazioni"))));
}

void TDETTAGLI_PREVENTIVO::SaveProductSearchFilters()
{
    SetSetting(QStringLiteral("FrmDettPrev_TipoCataloghi"), YesNo(TS_Cataloghi->isChecked()));
    SetSetting(QStringLiteral("FrmDettPrev_KeyFornitore"), DCB_Find_Fornitore->IdFornitore());
    SetSetting(QStringLiteral("FrmDettPrev_NuAnnoFornitore"),
               QString::number(DCB_Find_Fornitore->NuAnno()));
    SetSetting(QStringLiteral("FrmDettPrev_DescProdotto"), EF_Find_DescProdotto->Text());
    SetSetting(QStringLiteral("FrmDettPrev_OrdinaRecenti"),
               YesNo(CK_Find_OrdinaRecenti->isChecked()));
    SetSetting(QStringLiteral("FrmDettPrev_EstraiProdotti"), YesNo(CK_Find_Prodotti->isChecked()));
    SetSetting(QStringLiteral("FrmDettPrev_EstraiAccessori"), YesNo(CK_Find_Accessori->isChecked()));
    SetSetting(QStringLiteral("FrmDettPrev_EstraiDocumentazioni"),
               YesNo(CK_Find_Documentazioni->isChecked()));
}

void TDETTAGLI_PREVENTIVO::DrawCatalogueCell(TDataSet *ds, bool linked, TKRTDrawCellArgs &a)
{
    if (!ds || a.Row < 0 || a.Row >= ds->RecordCount())
        return;
    a.Background = a.Row % 2 == 0 ? QColor(Qt::white) : QColor(0xF0, 0xF0, 0xF0);
    if (a.Selected)
        return;
    auto flag = [ds, &a](const char *name) {
        const int c = ds->FieldIndex(QLatin1String(name));
        return c >= 0 && ds->ValueAt(a.Row, c).toInt() != 0;
    };
    if (linked && flag("flImportaInPrev")) {
        a.FontColor = kGreen;
        a.Font.setBold(true);
    } else if (flag("flDocumentazione")) {
        a.FontColor = kPurple;
        a.Font.setBold(true);
    } else if (flag("flAccessorio")) {
        a.FontColor = kBlue;
        a.Font.setBold(true);
    }
}

void TDETTAGLI_PREVENTIVO::ClearLinkedSelections(bool onlyShown)
{
    TDataSet *ds = DST_GRID_ProdLinked.get();
    if (!ds)
        return;
    const bool filtered = ds->Filtered();
    if (!onlyShown)
        ds->SetFiltered(false);
    const TBookmark keep = ds->GetBookmark();
    ds->DisableControls();
    for (ds->First(); !ds->Eof(); ds->Next()) {
        ds->Edit();
        ds->FieldByName(QStringLiteral("flImportaInPrev")).SetValue(0);
        ds->FieldByName(QStringLiteral("nuQuantita")).SetValue(1.0);
        ds->Post();
    }
    if (!onlyShown)
        ds->SetFiltered(filtered);
    ds->GotoBookmark(keep);
    ds->EnableControls();
}

void TDETTAGLI_PREVENTIVO::UpdateLinkedCount()
{
    TDataSet *ds = DST_GRID_ProdLinked.get();
    const int total = ds ? ds->RecordCount() : 0;
    const int selected = ds ? ds->CountMatching(QStringLiteral("flImportaInPrev = 1")) : 0;
    PAN_NuLinked->setText(QString::number(selected) + QLatin1Char('/') + QString::number(total)
                          + QStringLiteral(" prodotti collegati."));
    DG_ProdLinked->viewport()->update();
}

void TDETTAGLI_PREVENTIVO::SyncCatalogueProduct()
{
    if (!DST_GRID_Prodotti || !DST_GRID_ProdLinked || !DST_GRID_ProdList)
        return;
    ClearLinkedSelections(true);
    TDataSet &prod = *DST_GRID_Prodotti;
    const bool any = prod.RecordCount() > 0;
    const QString id = any ? prod.FieldByName(QStringLiteral("idProdotto")).AsString() : QString();
    const bool doc = any && prod.FieldByName(QStringLiteral("flDocumentazione")).AsInteger() != 0;
    if (doc) {
        PB_Add_Prodotto->setText(QStringLiteral("Documentazione    "));
        PB_Add_Prodotto->setToolTip(QStringLiteral(" Aggiungi al preventivo come documentazione "));
    } else {
        PB_Add_Prodotto->setText(QStringLiteral("Prodotto principale"));
        PB_Add_Prodotto->setToolTip(
            QStringLiteral(" Aggiungi al preventivo come prodotto principale "));
    }
    PB_Add_Accessorio->setVisible(!doc);
    PAN_Listini_Prodotti->setVisible(!doc);
    TDataSet &linked = *DST_GRID_ProdLinked;
    linked.SetFilter(QStringLiteral("idProdotto = ") + SqlText(id));
    linked.SetFiltered(true);
    PAN_Linked->setVisible(linked.RecordCount() > 0);
    UpdateLinkedCount();
    if (doc) {
        CK_Aggiungi_Anche_Listino->hide();
        return;
    }
    {
        // Emptying the search field must not filter again while the product is being set.
        const QSignalBlocker quiet(EF_Filter_Listino->Edit());
        EF_Filter_Listino->SetText(QString());
    }
    TDataSet &lists = *DST_GRID_ProdList;
    lists.SetFilter(QStringLiteral("idProdotto = ") + SqlText(id));
    lists.SetFiltered(true);
    if (lists.RecordCount() == 0) {
        CK_Aggiungi_Anche_Listino->hide();
        return;
    }
    lists.First();
    if (TVRLDettPrev *line = CurrentLine())
        if (!line->sIdProdListino.isEmpty())
            lists.Locate(QStringLiteral("idProdListino"), line->sIdProdListino, loCaseInsensitive);
    CK_Aggiungi_Anche_Listino->show();
    CK_Aggiungi_Anche_Listino->setChecked(true);
}

bool TDETTAGLI_PREVENTIVO::QuoteHasProduct(const QString &idProdotto) const
{
    for (const auto &line : m_lines)
        if (line->sIdProdotto.compare(idProdotto, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool TDETTAGLI_PREVENTIVO::AddLine(const QString &idProdotto,
                                   const QString &idListino,
                                   double quantity,
                                   bool accessory,
                                   QString *newId)
{
    *newId = NewGuidText();
    const QString command = ExecText(QStringLiteral("AddProdottoToPreventivo"),
                                     {SqlText(sIdPreventivo),
                                      SqlText(*newId),
                                      SqlText(idProdotto),
                                      idListino.isEmpty() ? QStringLiteral("NULL")
                                                          : SqlText(idListino),
                                      SqlReal(quantity),
                                      SqlFlag(accessory),
                                      SqlText(SessionInfo().sUserName)});
    TSTD_DBMODULE::Instance()->Execute(command);
    return true;
}

void TDETTAGLI_PREVENTIVO::AddCatalogueProduct(bool accessory)
{
    if (!DST_GRID_Prodotti || DST_GRID_Prodotti->RecordCount() == 0)
        return;
    TDataSet &prod = *DST_GRID_Prodotti;
    TDataSet &linked = *DST_GRID_ProdLinked;
    const QString id = prod.FieldByName(QStringLiteral("idProdotto")).AsString();
    if (linked.RecordCount() > 0 && linked.CountMatching(QStringLiteral("flImportaInPrev = 1")) == 0
        && !AskYesNo(QStringLiteral("Ci sono prodotti collegati, vuoi continuare senza aggiungerne "
                                    "nessuno ?")))
        return;
    if (QuoteHasProduct(id)
        && !AskYesNo(
            QStringLiteral("Hai già aggiunto questo prodotto al preventivo, vuoi continuare "
                           "lo stesso ?")))
        return;
    QString list;
    if (!CK_Aggiungi_Anche_Listino->isHidden() && CK_Aggiungi_Anche_Listino->isChecked()
        && DST_GRID_ProdList && DST_GRID_ProdList->RecordCount() > 0)
        list = DST_GRID_ProdList->FieldByName(QStringLiteral("idProdListino")).AsString();
    // The product and its chosen linked products are added together or not at all.
    TSTD_DBMODULE &db = *TSTD_DBMODULE::Instance();
    QString mainId;
    try {
        db.BeginTrans();
        AddLine(id, list, 1.0, accessory, &mainId);
        if (DebugShown())
            AppendDebugLine(QLatin1String(kClassName)
                            + QStringLiteral(".PB_Add_ProdottoClick: sSql: ")
                            + db.LastCommandText());
        for (linked.First(); !linked.Eof(); linked.Next()) {
            if (linked.FieldByName(QStringLiteral("flImportaInPrev")).AsInteger() == 0)
                continue;
            QString linkedId;
            AddLine(linked.FieldByName(QStringLiteral("idProdCollegato")).AsString(),
                    linked.FieldByName(QStringLiteral("idProdListino")).AsString(),
                    linked.FieldByName(QStringLiteral("nuQuantita")).AsFloat(),
                    true,
                    &linkedId);
        }
        db.CommitTrans();
    } catch (const std::exception &e) {
        if (db.InTransaction())
            db.RollbackTrans();
        ShowDbError(QStringLiteral("Errore aggiunta prodotto a preventivo (ERR.P02)."), e);
        return;
    }
    sListinoTag = list;
    ClearLinkedSelections(true);
    UpdateLinkedCount();
    sLastIdProdotto = id;
    try {
        EstraiDettagliPreventivo(ExecText(QStringLiteral("EstraiProdottiInPreventivo"),
                                          {SqlText(sIdPreventivo)}),
                                 mainId);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore aggiunta prodotto a preventivo (ERR.P02)."), e);
    }
}

void TDETTAGLI_PREVENTIVO::AddLinkedProducts()
{
    if (!DST_GRID_ProdLinked || DST_GRID_ProdLinked->RecordCount() == 0)
        return;
    TDataSet &linked = *DST_GRID_ProdLinked;
    struct TAdd
    {
        QString id, list;
        double qty;
    };
    std::vector<TAdd> adds;
    const int selected = linked.CountMatching(QStringLiteral("flImportaInPrev = 1"));
    if (selected > 0) {
        const TBookmark keep = linked.GetBookmark();
        for (linked.First(); !linked.Eof(); linked.Next())
            if (linked.FieldByName(QStringLiteral("flImportaInPrev")).AsInteger() != 0)
                adds.push_back({linked.FieldByName(QStringLiteral("idProdCollegato")).AsString(),
                                linked.FieldByName(QStringLiteral("idProdListino")).AsString(),
                                linked.FieldByName(QStringLiteral("nuQuantita")).AsFloat()});
        linked.GotoBookmark(keep);
    } else {
        const QString id = linked.FieldByName(QStringLiteral("idProdCollegato")).AsString();
        if (QuoteHasProduct(id)
            && !AskYesNo(QStringLiteral("Hai già aggiunto questo prodotto al preventivo, vuoi "
                                        "continuare lo stesso ?")))
            return;
        adds.push_back({id,
                        linked.FieldByName(QStringLiteral("idProdListino")).AsString(),
                        linked.FieldByName(QStringLiteral("nuQuantita")).AsFloat()});
    }
    TSTD_DBMODULE &db = *TSTD_DBMODULE::Instance();
    QString last;
    try {
        db.BeginTrans();
        for (const TAdd &a : adds)
            AddLine(a.id, a.list, a.qty, true, &last);
        db.CommitTrans();
    } catch (const std::exception &e) {
        if (db.InTransaction())
            db.RollbackTrans();
        ShowDbError(QStringLiteral("Errore aggiunta prodotto a preventivo (ERR.P03)."), e);
        return;
    }
    ClearLinkedSelections(true);
    UpdateLinkedCount();
    try {
        EstraiDettagliPreventivo(ExecText(QStringLiteral("EstraiProdottiInPreventivo"),
                                          {SqlText(sIdPreventivo)}),
                                 last);
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore aggiunta prodotto a preventivo (ERR.P03)."), e);
    }
}

void TDETTAGLI_PREVENTIVO::ToggleLinked()
{
    TDataSet *ds = DST_GRID_ProdLinked.get();
    if (!ds || ds->RecordCount() == 0)
        return;
    try {
        const bool on = ds->FieldByName(QStringLiteral("flImportaInPrev")).AsInteger() == 0;
        ds->Edit();
        ds->FieldByName(QStringLiteral("flImportaInPrev")).SetValue(on ? 1 : 0);
        if (!on)
            ds->FieldByName(QStringLiteral("nuQuantita")).SetValue(1.0);
        ds->Post();
    } catch (const std::exception &e) {
        ds->Cancel();
        ShowDbError(QStringLiteral("Errore cambio stato selezione prodotto (ERR.P05)."), e);
    }
    UpdateLinkedCount();
}

void TDETTAGLI_PREVENTIVO::SelectAllLinked(bool selected)
{
    TDataSet *ds = DST_GRID_ProdLinked.get();
    if (!ds)
        return;
    const TBookmark keep = ds->GetBookmark();
    ds->DisableControls();
    for (ds->First(); !ds->Eof(); ds->Next()) {
        ds->Edit();
        ds->FieldByName(QStringLiteral("flImportaInPrev")).SetValue(selected ? 1 : 0);
        ds->FieldByName(QStringLiteral("nuQuantita")).SetValue(1.0);
        ds->Post();
    }
    ds->GotoBookmark(keep);
    ds->EnableControls();
    UpdateLinkedCount();
}

void TDETTAGLI_PREVENTIVO::ShowLinkedQuantityInput()
{
    TDataSet *ds = DST_GRID_ProdLinked.get();
    if (!ds || ds->RecordCount() == 0)
        return;
    EF_NuQtaLinked->SetText(
        FormatNumber(2, ds->FieldByName(QStringLiteral("nuQuantita")).AsFloat()));
    SetRightEnabled(false);
    PAN_Input_QtaLinked->show();
    PAN_Input_QtaLinked->raise();
    CenterPanelInForm(PAN_Input_QtaLinked, this);
    FocusField(EF_NuQtaLinked->Edit());
}

void TDETTAGLI_PREVENTIVO::ConfirmLinkedQuantity()
{
    TDataSet *ds = DST_GRID_ProdLinked.get();
    if (!ds || ds->RecordCount() == 0) {
        CancelLinkedQuantity();
        return;
    }
    double q = 0;
    if (!ParseNumberText(EF_NuQtaLinked->Text(), &q)) {
        ShowErrorBox(QStringLiteral("La quantità indicata non è un numero valido."));
        FocusField(EF_NuQtaLinked->Edit());
        return;
    }
    if (q <= 0) {
        ShowErrorBox(QStringLiteral("Quantità non può essere 0."));
        EF_NuQtaLinked->SetText(FormatNumber(2, 1));
        return;
    }
    ds->Edit();
    ds->FieldByName(QStringLiteral("nuQuantita")).SetValue(q);
    ds->Post();
    CancelLinkedQuantity();
    UpdateLinkedCount();
}

void TDETTAGLI_PREVENTIVO::CancelLinkedQuantity()
{
    PAN_Input_QtaLinked->hide();
    SetRightEnabled(true);
}

void TDETTAGLI_PREVENTIVO::ApplyCatalogueListFilter()
{
    if (!DST_GRID_ProdList || !DST_GRID_Prodotti || DST_GRID_Prodotti->RecordCount() == 0)
        return;
    const QString id = DST_GRID_Prodotti->FieldByName(QStringLiteral("idProdotto")).AsString();
    QString filter = QStringLiteral("idProdotto = ") + SqlText(id);
    const QString text = EF_Filter_Listino->Text().trimmed();
    if (!text.isEmpty())
        filter += QStringLiteral(" AND txDescListino LIKE ")
                  + SqlText(QLatin1Char('*') + text + QLatin1Char('*'));
    DST_GRID_ProdList->SetFilter(filter);
    DST_GRID_ProdList->SetFiltered(true);
}

void TDETTAGLI_PREVENTIVO::BuildLinkedMenu()
{
    TKRTGrid *grid = DG_ProdLinked;
    grid->ShowStandardMenu = false;
    grid->ShowUserMenu = true;
    grid->UserMenu.clear();
    grid->GridMenu()->Clear();
    TDataSet *ds = DST_GRID_ProdLinked.get();
    if (ds && ds->RecordCount() > 0) {
        if (ds->FieldByName(QStringLiteral("flImportaInPrev")).AsInteger() != 0) {
            AddGridMenuItem(grid->GridMenu(), QStringLiteral("Deseleziona prodotto"), clKRTBlack);
        } else {
            AddGridMenuItem(grid->GridMenu(), QStringLiteral("Seleziona prodotto"), clKRTBlack);
            AddGridMenuItem(grid->GridMenu(), QStringLiteral("Modifica quantità"), clKRTBlack);
        }
        if (SessionInfo().bDeveloperMode) {
            grid->GridMenu()->AppendSeparator();
            AddGridMenuItem(grid->GridMenu(), QStringLiteral("Copia Id in clipboard"), clKRTRed);
        }
    }
    grid->SetPopUpMenu();
}

void TDETTAGLI_PREVENTIVO::LinkedMenuChosen()
{
    const TKRTGridMenu *chosen = DG_ProdLinked->GridMenuSelected();
    if (!chosen)
        return;
    // The caption is read before acting: the action may rebuild the menu.
    const QString caption = chosen->Caption;
    if (caption == QStringLiteral("Seleziona prodotto")
        || caption == QStringLiteral("Deseleziona prodotto"))
        ToggleLinked();
    else if (caption == QStringLiteral("Modifica quantità"))
        ShowLinkedQuantityInput();
    else if (caption == QStringLiteral("Copia Id in clipboard"))
        CopyLinkedId();
}

void TDETTAGLI_PREVENTIVO::CopyLinkedId()
{
    TDataSet *ds = DST_GRID_ProdLinked.get();
    if (!ds || ds->RecordCount() == 0 || !SessionInfo().bDeveloperMode)
        return;
    // The empty last clause gives the second line break at the end.
    CopyDeveloperQueries({{QStringLiteral("SELECT a.*"),
                           QStringLiteral(" FROM Prodotti a"),
                           QStringLiteral(" WHERE a.idProdotto = ")
                               + SqlText(ds->FieldByName(QStringLiteral("idProdotto")).AsString()),
                           QString()}});
}
