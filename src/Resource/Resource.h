// The system information window: physical memory, free resources, swap file and free space.
#pragma once
#include <QDialog>
#include <memory>
#include <set>

#include "platform/Platform.h"

namespace Ui {
class TForm2;
}

class QLabel;

namespace veska {

// Closing the window frees it (deleteLater): create it with new, never on the stack.
class TForm2 : public QDialog {
    Q_OBJECT

public:
    // Takes the figures once while it is created; an error then is shown and the window keeps
    // its design texts.
    explicit TForm2(Platform& platform, QWidget* parent = nullptr);
    ~TForm2() override;

    void FormCreate();
    // Takes the figures again once the paint is over (queued, so a paint never runs a modal box
    // or changes a label while painting; several paints in a row take them once).
    void FormPaint();
    void FormClose();
    void Button1Click();
    // Takes every figure anew. Raises the errors of the resource query and of the settings key.
    void Button2Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Runs Button2Click and shows its error. A retake that follows a paint does not show again
    // an error this window has already shown.
    void Retake(bool afterPaint);
    void SetFigure(QLabel* label, const Bytes& text);

    Platform& platform_;
    std::unique_ptr<Ui::TForm2> ui_;
    bool paintRetakePending_ = false;
    std::set<Bytes> shownErrors_;
};

// Opens a new window modally and destroys it when it is closed.
void ShowSystemInformation(Platform& platform);

}  // namespace veska
