#pragma once

// The preview of one quote line as it prints ("Anteprima del prodotto selezionato"): the
// line's own tree and report rows in "Reports\pdprwdet00", shown in the preview window.

#include <QString>

class TVIEW_REPORT;

// "EXEC EstraiAllDettagliProdotto " + quoted line id + ", 1, 1, 1, 0, 0, 1".
QString LinePreviewCommand(const QString &sIdPreventivoDet);

// Opens the preview window waiting, reads the rows, fits the node images and shows the report
// (parameter "flShowIcons" "NO"). Failures are reported here ("Errore lettura dati per
// anteprima prodotto (ERR.P14)."); the window is then closed and nullptr returned. The window
// owns the rows and frees itself when closed.
TVIEW_REPORT *PrintLinePreview(const QString &sIdPreventivoDet);
