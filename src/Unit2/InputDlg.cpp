#include "Unit2/InputDlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include "ui_InputDlg.h"
#include "vcl/FormFont.h"

namespace veska {

TInputDlg* InputDlg = nullptr;

TInputDlg::TInputDlg(QWidget* parent) : QDialog(parent), ui_(new Ui::TInputDlg) {
    ui_->setupUi(this);
    Label1 = ui_->Label1;
    Edit1 = ui_->Edit1;
    OKBtn = ui_->OKBtn;
    CancelBtn = ui_->CancelBtn;

    setFont(FormFont());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(314, 96);
    // Not application modal: that would also block the tray icon's hidden window.
    setWindowModality(Qt::WindowModal);

    Edit1->installEventFilter(this);
    connect(OKBtn, &QPushButton::clicked, this, &TInputDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TInputDlg::CancelBtnClick);

    QScreen* screen = this->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) move(screen->availableGeometry().center() - rect().center());
}

TInputDlg::~TInputDlg() = default;

void TInputDlg::ShowModal() {
    Edit1->setFocus();
    exec();
}

void TInputDlg::OKBtnClick() {
    Accepted = !Edit1->text().isEmpty();
    done(Accepted ? QDialog::Accepted : QDialog::Rejected);
}

void TInputDlg::CancelBtnClick() {
    Accepted = false;
    done(QDialog::Rejected);
}

void TInputDlg::reject() {
    if (CancelBtn->isEnabled()) CancelBtn->click();
}

bool TInputDlg::eventFilter(QObject* watched, QEvent* event) {
    // Queued: a mouse press moves the cursor after the focus arrives, which would drop the
    // selection again.
    if (watched == Edit1 && event->type() == QEvent::FocusIn)
        QMetaObject::invokeMethod(Edit1, &QLineEdit::selectAll, Qt::QueuedConnection);
    return QDialog::eventFilter(watched, event);
}

void TInputDlg::closeEvent(QCloseEvent* event) {
    // The close box counts as Cancel, and works even while Cancel is disabled so the dialog
    // can always be dismissed. Not through reject(), which would refuse then.
    Accepted = false;
    setResult(QDialog::Rejected);
    event->accept();
}

}  // namespace veska
