#pragma once

#include "quotes/quoteopeners.h"

#include <QDialog>

class QFrame;
class QPushButton;

// The base of the two quote folder windows (on disk and in the cloud): it keeps what Start
// hands over as the window's state and the few control makers both windows build with. Each
// window sets its own caption, arranges its own panels and decides on its own closing.
class TQuoteFolderWindow : public QDialog, public TQuoteFolderStarter
{
    Q_OBJECT

public:
    // Stores the values, sets the caption, arranges the panels and shows the window modally.
    void Start(bool bFromGestione,
               const QString &sIdPreventivoLista,
               bool bPrevBloccatoLista,
               int iNuRevisioneLista,
               const QString &sURLPDF,
               const QString &sNomePDF,
               const QString &sNomeFolderPrev,
               const QString &sDescOggettoLista,
               const QString &sDescClienteLista,
               const QString &sNuAnnoPrevLista,
               const QString &sNuPreventivoLista,
               const QString &sTxNuPreventivoLista) final;

    // Window state.
    QString sNomeFolder;
    QString sNomeFilePDF;
    QString sURLFilePDF;
    int iNuRevisione = 1;
    QString sIdPreventivo;
    QString sNuPreventivo;
    QString sTxNuPreventivo;
    QString sNuAnnoPrev;
    QString sDescCliente;
    QString sDescOggetto;
    bool bPrevBloccato = false;
    bool bFromGestionePrev = false;
    bool bChanges = false;

protected:
    explicit TQuoteFolderWindow(QWidget *parent);

    // The caption for the quote Start stored ("... n° " + number + " : \"subject\"").
    virtual QString StartCaption() const = 0;
    // Shows and fills the panels for the current state.
    virtual void ArrangePanels() = 0;

    // The wait window over this window (when there is one), and its end.
    void ShowWait(const QString &message);
    static void HideWait();

    static QFrame *NewPanel(const QString &name, QWidget *parent);
    static QPushButton *NewButton(const QString &name, const QString &caption, QWidget *parent);
};
