#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The question window: tool-window frame, always on top, centred; question icon, the text in
// lbl_Testo, "Si" (accepted) and "No" (rejected). Closing it any other way answers "No".
class TSTD_YESNO : public QDialog
{
    Q_OBJECT
public:
    explicit TSTD_YESNO(QWidget *parent = nullptr);

    void Setup(const QString &text);
    // As TSTD_OK::Place.
    void Place(int position = 2, double heightFactor = 1, double widthFactor = 1);

private:
    QLabel *imgDomanda = nullptr;       // Owned (child).
    QLabel *lbl_Testo = nullptr;        // Owned (child).
    QPushButton *pb_Conferma = nullptr; // Owned (child).
    QPushButton *pb_Annulla = nullptr;  // Owned (child).
};
