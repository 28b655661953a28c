// TAboutBox: the About dialog: the program's picture, its name and version,
// and a short notice; OK closes it.
#pragma once

#include <QDialog>
#include <QPixmap>

class QFrame;
class QLabel;
class QPushButton;

// The program's picture (a game pad on a screen), drawn at `size` x `size`:
// the About dialog's picture and the window icon.
QPixmap Tiravel_Picture(int size);

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Comments = nullptr;
    QPushButton* OKButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
