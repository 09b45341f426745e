#include "Unit1/Form1.h"

#include <QDialog>
#include <QLabel>
#include <QPixmap>

#include "text/Codec.h"

namespace veska {

namespace {
class TForm1 : public QDialog {
public:
    TForm1() {
        setObjectName("Form1");
        setWindowTitle(QString::fromStdString(toUtf8(sj("Veska のプロパティ"))));
        setFixedSize(380, 320);
        // Modal without blocking the tray icon: its menus stay usable (the properties command
        // is disabled meanwhile).
        setWindowModality(Qt::WindowModal);
        Image1 = new QLabel(this);
        Image1->setObjectName("Image1");
        Image1->setGeometry(16, 16, 32, 32);
    }
    QLabel* Image1;
};
}  // namespace

void RunPropertiesDialog(Platform&, const TIcon& trayIcon) {
    TForm1 form;
    // An independent copy of the tray's picture.
    if (!trayIcon.Empty()) form.Image1->setPixmap(QPixmap::fromImage(trayIcon.Image().copy()));
    form.exec();
}

}  // namespace veska
