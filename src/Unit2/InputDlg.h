// The input dialog: a prompt, one line of text, OK and Cancel.
#pragma once
#include <QDialog>
#include <memory>

namespace Ui {
class TInputDlg;
}

class QLabel;
class QLineEdit;
class QPushButton;

namespace veska {

// Callers set the prompt, the proposed text and Cancel's state through the public controls,
// run ShowModal and read Accepted. All of these keep their values from one showing to the next.
class TInputDlg : public QDialog {
    Q_OBJECT

public:
    // Modal towards its parent's window only, so give it the window it serves.
    explicit TInputDlg(QWidget* parent = nullptr);
    ~TInputDlg() override;

    // Shows the dialog with the focus in the field and returns once it is closed.
    void ShowModal();

    void OKBtnClick();
    void CancelBtnClick();

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    // True only when OK closed the dialog with some text (blanks count).
    bool Accepted = false;

public slots:
    // Escape: presses Cancel, and does nothing while Cancel is disabled.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::TInputDlg> ui_;
};

// The properties dialog's instance: it creates it and frees it when it closes.
extern TInputDlg* InputDlg;

}  // namespace veska
