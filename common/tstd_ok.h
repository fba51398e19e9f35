#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The message window: tool-window frame, always on top, centred. One of three icons, the text
// in the label lbl_Testo (or in the read-only memo SF_Info for long texts) and the button "Ok".
class TSTD_OK : public QDialog
{
    Q_OBJECT
public:
    enum class TIcon { Info, Error, Warning };

    explicit TSTD_OK(QWidget *parent = nullptr);

    // Texts longer than this many characters or lines go to the memo even when not asked.
    static constexpr int kMemoChars = 800;
    static constexpr int kMemoLines = 14;

    void Setup(TIcon icon,
               const QString &text,
               Qt::Alignment align = Qt::AlignCenter,
               bool inMemo = false);
    // position 0: right edge at the middle of the work area; 1: left edge at the middle; other:
    // centred. Factors above 1 enlarge height and width; a taller window aligns its text
    // top-left.
    void Place(int position = 2, double heightFactor = 1, double widthFactor = 1);

private:
    QLabel *imgAvviso = nullptr;        // Owned (child).
    QLabel *ImgError = nullptr;         // Owned (child).
    QLabel *ImgWarning = nullptr;       // Owned (child).
    QLabel *lbl_Testo = nullptr;        // Owned (child).
    QPlainTextEdit *SF_Info = nullptr;  // Owned (child).
    QPushButton *pb_Conferma = nullptr; // Owned (child).
};
