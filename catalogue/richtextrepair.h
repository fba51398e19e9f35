#pragma once

// The administrators' one-off repair of the structure editor ("Patch01"): every text node of
// the catalogue gets its rich text reformatted the one way the program writes texts (Arial 13
// points, left aligned, the window text colour), with its plain text written next to it. Each
// text is written on its own; the ones written before a failure stay written.

#include <QString>

#include <functional>

class TSTD_DBMODULE;

// The text reformatted: rich text (RTF) and its plain text.
struct TRepairedText
{
    QString sRtf;
    QString sPlain;
};
TRepairedText ReformatNodeText(const QString &storedRtf);

// Runs the repair over "select * from Prod_Comp_Parte_Txt"; progress(done, total) before each
// text. Returns the number of texts written. A database failure is raised.
int RepairNodeTexts(TSTD_DBMODULE &db,
                    const QString &userName,
                    const std::function<void(int done, int total)> &progress = {});
