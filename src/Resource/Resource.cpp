#include "Resource/Resource.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QScreen>

#include "FreeRes/FreeRes.h"
#include "Resource/ByteFigure.h"
#include "Resource/FigureLabel.h"
#include "vcl/ErrorBox.h"
#include "store/Names.h"
#include "store/SettingsKey.h"
#include "text/Codec.h"
#include "vcl/FormFont.h"
#include "ui_Resource.h"

// Resources compiled into a static library are registered only when something asks for them.
static void InitFormResources() { Q_INIT_RESOURCE(Resource); }

namespace veska {

namespace {

QString Widen(const Bytes& text) { return QString::fromStdString(toUtf8(text)); }

}  // namespace

TForm2::TForm2(Platform& platform, QWidget* parent) : QDialog(parent), platform_(platform), ui_(new Ui::TForm2) {
    InitFormResources();
    ui_->setupUi(this);
    setFont(FormFont());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint);
    setFixedSize(520, 140);
    // Modal towards visible windows only: the resident form is hidden, so the tray menus stay
    // usable and can open a further window above this one.
    setWindowModality(Qt::WindowModal);

    for (QLabel* caption : {ui_->Label4, ui_->Label5, ui_->Label6, ui_->Label7, ui_->Label8, ui_->Label11,
                            ui_->Label12})
        SetTextKeepingLeftEdge(*caption, caption->text());
    for (QLabel* figure : {ui_->Label1, ui_->Label2, ui_->Label3, ui_->Label9, ui_->Label10, ui_->Label13,
                           ui_->Label14})
        SetTextKeepingRightEdge(*figure, figure->text());

    connect(ui_->Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, [this] { Retake(false); });

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FormCreate();
}

TForm2::~TForm2() = default;

void TForm2::FormCreate() { Retake(false); }

void TForm2::FormPaint() {
    if (paintRetakePending_) return;
    paintRetakePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            paintRetakePending_ = false;
            Retake(true);
        },
        Qt::QueuedConnection);
}

void TForm2::FormClose() { setAttribute(Qt::WA_DeleteOnClose); }

void TForm2::Button1Click() { close(); }

void TForm2::Button2Click() {
    Bytes system, gdi, user;
    GetFreeResources(*platform_.system, system, gdi, user);
    SetFigure(ui_->Label1, system + " %");
    SetFigure(ui_->Label2, gdi + " %");
    SetFigure(ui_->Label3, user + " %");

    // Whole 64-bit counts: a 32-bit record would wrap on machines with 4 GiB or more.
    MemoryStatus memory = platform_.system->GlobalMemoryStatus();
    SetFigure(ui_->Label9, FormatBytes(memory.totalPhys));
    SetFigure(ui_->Label10, FormatBytes(memory.availPhys));

    Bytes swapPath;
    {
        SettingsKey key(*platform_.files, platform_.paths->SettingsFile(), names::VeskaKey);
        swapPath = cutBytes(key.ReadString(names::Style, names::SWPFile, ""), 255);
        key.Close();
    }
    Bytes swapText = "0 Bytes";
    if (!swapPath.empty()) {
        std::optional<DirEntry> entry = platform_.files->FindFile(swapPath);
        // A folder is found too, but as a size it reports nothing.
        if (entry && !entry->directory && entry->size > 0) swapText = FormatBytes(entry->size);
    }
    SetFigure(ui_->Label13, swapText);
    SetFigure(ui_->Label14, FormatBytes(platform_.system->DiskFreeBytes()));
}

void TForm2::Retake(bool afterPaint) {
    Bytes message;
    try {
        Button2Click();
        return;
    } catch (const Exception& e) {
        message = e.Message();
    } catch (const std::exception& e) {
        message = e.what();
    }
    if (afterPaint && shownErrors_.count(message)) return;
    shownErrors_.insert(message);
    ShowException(*platform_.desktop, message);
}

void TForm2::SetFigure(QLabel* label, const Bytes& text) { SetTextKeepingRightEdge(*label, Widen(text)); }

void TForm2::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // Group boxes and buttons paint on their own: a figure label or a hovered button repainting
    // is not a paint of the form, else a figure that changes with every look (free memory)
    // would keep the window repainting itself forever.
    QRegion own = event->region();
    for (QWidget* child : {static_cast<QWidget*>(ui_->GroupBox1), static_cast<QWidget*>(ui_->GroupBox2),
                           static_cast<QWidget*>(ui_->GroupBox3), static_cast<QWidget*>(ui_->Button1),
                           static_cast<QWidget*>(ui_->Button2)})
        own -= child->geometry();
    if (!own.isEmpty()) FormPaint();
}

void TForm2::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event);
    if (event->isAccepted()) FormClose();
}

void TForm2::keyPressEvent(QKeyEvent* event) {
    // Without a cancel button, Escape does not close the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) return;
    QDialog::keyPressEvent(event);
}

void ShowSystemInformation(Platform& platform) {
    // The window frees itself when closed; the guard tells whether it still has to go.
    QPointer<TForm2> form = new TForm2(platform);
    form->exec();
    delete form.data();
}

}  // namespace veska
