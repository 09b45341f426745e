// The properties dialog's construction and wiring: the controls as the form describes them, the
// context menus, and every control's signals led to its handler. The frame's loading and Apply
// live in Form1Frame.cpp, the pages in Form1Menu.cpp, Form1PAppli.cpp and Form1Style.cpp.
#include "Unit1/Form1.h"

#include <QEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

#include "Unit1/ListRows.h"
#include "Unit2/InputDlg.h"
#include "store/Names.h"
#include "vcl/ErrorBox.h"
#include "vcl/FormFont.h"

namespace veska {

const Bytes SeparatorLine(41, '-');

TForm1::TForm1(Platform& platform, std::function<void()> reread, QWidget* parent)
    : QDialog(parent), p_(platform), reread_(std::move(reread)) {
    setupUi(this);
    setFont(FormFont());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(537, 441);
    // Modal without blocking the tray icon's hidden window: the command menu stays usable and
    // keeps its properties command disabled meanwhile.
    setWindowModality(Qt::WindowModal);
    setWindowIcon(QIcon(QPixmap::fromImage(BuiltInIcon())));
    // The program's own icon, doubled pixel for pixel.
    Image2->setPixmap(QPixmap::fromImage(BuiltInIcon().scaled(32, 32, Qt::KeepAspectRatio, Qt::FastTransformation)));
    // The toolchain this copy was built with.
    Label29->setText(QStringLiteral("C++20 (GCC %1)").arg(QStringLiteral(__VERSION__)));
    Label30->setText(QStringLiteral("Qt %1 / CMake").arg(QStringLiteral(QT_VERSION_STR)));
    Label21->setText(QStringLiteral("Veska Version " VESKA_VERSION));
    ComboBox1->setCurrentIndex(-1);  // no wallpaper selected: no display position
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    BuildMenus();
    {
        const QSignalBlocker quiet(CheckListBox1);  // check marks set from code run no handler
        for (const char* caption : names::PersonalCaptions) {
            auto* item = new QListWidgetItem(QString::fromUtf8(caption), CheckListBox1);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    }
    ConnectHandlers();
    PageControl1->setCurrentWidget(TabSheet1);
    Guard([this] { FormCreate(); });
}

TForm1::~TForm1() {
    // Destroyed without closing (the input dialog goes with its parent).
    if (InputDlg && InputDlg->parent() == this) InputDlg = nullptr;
}

template <typename F>
void TForm1::Guard(F&& handler) {
    Guarded(*p_.desktop, std::forward<F>(handler));
}

void TForm1::BuildMenus() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    A1 = PopupMenu1->addAction(QStringLiteral("追加(&A)..."), this, [this] { Guard([this] { Button1Click(); }); });
    Delete1 = PopupMenu1->addAction(QStringLiteral("削除(&D)"), this, [this] { Guard([this] { Button2Click(); }); });
    S1 = PopupMenu1->addAction(QStringLiteral("セパレータ(&P)"), this, [this] { Guard([this] { Button3Click(); }); });
    R1 = PopupMenu1->addAction(QStringLiteral("名前の変更(R)..."), this, [this] { Guard([this] { Button4Click(); }); });
    S2 = PopupMenu1->addAction(QStringLiteral("サウンドの変更(&S)"), this,
                               [this] { Guard([this] { Button17Click(); }); });
    PopupMenu1->addSeparator()->setObjectName("N1");
    U1 = PopupMenu1->addAction(QStringLiteral("上へ(&U)"), this, [this] { Guard([this] { Button5Click(); }); });
    D1 = PopupMenu1->addAction(QStringLiteral("下へ(&D)"), this, [this] { Guard([this] { Button6Click(); }); });
    for (QAction* a : {Delete1, R1, S2, U1, D1}) a->setEnabled(false);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName("PopupMenu2");
    A2 = PopupMenu2->addAction(QStringLiteral("追加(&A)..."), this, [this] { Guard([this] { Button9Click(); }); });
    Delete2 = PopupMenu2->addAction(QStringLiteral("削除(&D)"), this, [this] { Guard([this] { Button10Click(); }); });
    Rename1 = PopupMenu2->addAction(QStringLiteral("名前の変更(&R)..."), this,
                                    [this] { Guard([this] { Button11Click(); }); });
    PopupMenu2->addSeparator()->setObjectName("N2");
    U2 = PopupMenu2->addAction(QStringLiteral("上へ(&U)"), this, [this] { Guard([this] { Button12Click(); }); });
    D2 = PopupMenu2->addAction(QStringLiteral("下へ(&D)"), this, [this] { Guard([this] { Button13Click(); }); });
    for (QAction* a : {Delete2, Rename1, U2, D2}) a->setEnabled(false);

    const std::pair<const char*, QAction*> names[] = {
        {"A1", A1}, {"Delete1", Delete1}, {"S1", S1},           {"R1", R1}, {"S2", S2}, {"U1", U1},
        {"D1", D1}, {"A2", A2},           {"Delete2", Delete2}, {"Rename1", Rename1},   {"U2", U2}, {"D2", D2}};
    for (const auto& [name, action] : names) action->setObjectName(name);

    for (auto [list, menu] : {std::pair{ListBox1, PopupMenu1}, std::pair{ListBox2, PopupMenu2}}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        // A right click keeps the selection: the commands act on the row already selected.
        list->viewport()->installEventFilter(this);
        connect(list, &QWidget::customContextMenuRequested, this, [list, menu](const QPoint& at) {
            if (list->isEnabled()) menu->popup(list->viewport()->mapToGlobal(at));
        });
    }
}

void TForm1::ConnectHandlers() {
    auto on = [this](auto* sender, auto signal, void (TForm1::*handler)()) {
        connect(sender, signal, this, [this, handler] { Guard([this, handler] { (this->*handler)(); }); });
    };
    on(Button7, &QPushButton::clicked, &TForm1::Button7Click);
    on(Button8, &QPushButton::clicked, &TForm1::Button8Click);
    on(Button20, &QPushButton::clicked, &TForm1::Button20Click);
    on(PageControl1, &QTabWidget::currentChanged, &TForm1::PageControl1Change);

    // A list's click handler runs for the user's selections; code selects rows quietly.
    on(ListBox1, &TListBox::Click, &TForm1::ListBox1Click);
    on(ListBox1, &TListBox::DblClick, &TForm1::ListBox1DblClick);
    const std::pair<QPushButton*, void (TForm1::*)()> buttons[] = {
        {Button1, &TForm1::Button1Click},   {Button2, &TForm1::Button2Click},   {Button3, &TForm1::Button3Click},
        {Button4, &TForm1::Button4Click},   {Button5, &TForm1::Button5Click},   {Button6, &TForm1::Button6Click},
        {Button17, &TForm1::Button17Click}, {Button9, &TForm1::Button9Click},   {Button10, &TForm1::Button10Click},
        {Button11, &TForm1::Button11Click}, {Button12, &TForm1::Button12Click}, {Button13, &TForm1::Button13Click},
        {Button14, &TForm1::Button14Click}, {Button15, &TForm1::Button15Click}, {Button18, &TForm1::Button18Click},
        {Button16, &TForm1::Button16Click}, {Button19, &TForm1::Button19Click}};
    for (const auto& [button, handler] : buttons) on(button, &QPushButton::clicked, handler);
    for (QLineEdit* field : {Edit1, Edit3}) field->installEventFilter(this);
    for (QLineEdit* field : {Edit1, Edit3, Edit4}) RefuseLineBreaks(field);

    on(CheckListBox1, &TListBox::Click, &TForm1::CheckListBox1Click);
    // A toggled mark acts on its entry, selected first as a click on its box selects it (the
    // space bar can toggle an entry that is current but not selected).
    connect(CheckListBox1, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        Guard([this, item] {
            const int row = CheckListBox1->row(item);
            if (Selected(CheckListBox1) != row) {
                SelectRow(CheckListBox1, row);
                CheckListBox1Click();
            }
            CheckListBox1ClickCheck();
        });
    });
    // A check box runs its handler whenever its state changes, from code too.
    const std::pair<QCheckBox*, void (TForm1::*)()> boxes[] = {{CheckBox5, &TForm1::CheckBox5Click},
                                                              {CheckBox4, &TForm1::CheckBox4Click},
                                                              {CheckBox6, &TForm1::CheckBox6Click},
                                                              {CheckBox3, &TForm1::CheckBox3Click},
                                                              {CheckBox1, &TForm1::CheckBox1Click}};
    for (const auto& [box, handler] : boxes) on(box, &QCheckBox::toggled, handler);
    // A radio button runs its handler when it becomes selected.
    const std::pair<QRadioButton*, void (TForm1::*)()> radios[] = {{RadioButton1, &TForm1::RadioButton1Click},
                                                                  {RadioButton2, &TForm1::RadioButton2Click},
                                                                  {RadioButton3, &TForm1::RadioButton3Click},
                                                                  {RadioButton4, &TForm1::RadioButton4Click}};
    for (const auto& [radio, handler] : radios)
        connect(radio, &QRadioButton::toggled, this, [this, handler](bool on) {
            if (on) Guard([this, handler] { (this->*handler)(); });
        });
    on(ListBox2, &TListBox::Click, &TForm1::ListBox2Click);
    on(ListBox2, &TListBox::DblClick, &TForm1::Button11Click);
    on(ComboBox1, &QComboBox::activated, &TForm1::ComboBox1Change);
    on(ListBox3, &TListBox::Click, &TForm1::ListBox3Click);

    // One group at a time shares the right of the personal applications page.
    for (QGroupBox* hidden : {GroupBox6, GroupBox7, GroupBox3}) hidden->setVisible(false);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListBox1->viewport() || watched == ListBox2->viewport()) {
        // A right click keeps the selection: the context menu acts on the row already selected.
        if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
            return true;
        return false;
    }
    if (watched != Edit1 && watched != Edit3) return false;
    void (TForm1::*keyPress)() = watched == Edit1 ? &TForm1::Edit1KeyPress : &TForm1::Edit3KeyPress;
    void (TForm1::*exit)() = watched == Edit1 ? &TForm1::Edit1Exit : &TForm1::Edit3Exit;
    switch (event->type()) {
    case QEvent::KeyPress: {
        // A key that produces a character, Backspace included; Delete, Tab (which moves the
        // focus) and Alt combinations (accelerators) produce none.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        const bool character = !text.isEmpty() && text != QStringLiteral("\x7f") && key->key() != Qt::Key_Tab &&
                               key->key() != Qt::Key_Backtab && !(key->modifiers() & (Qt::AltModifier | Qt::MetaModifier));
        if (character) Guard([this, keyPress] { (this->*keyPress)(); });
        break;
    }
    case QEvent::InputMethod:
        // Japanese text arrives from the input method, not as keys.
        if (!static_cast<QInputMethodEvent*>(event)->commitString().isEmpty())
            Guard([this, keyPress] { (this->*keyPress)(); });
        break;
    case QEvent::FocusOut: {
        // Leaving the field for another control of the dialog, not the dialog losing the focus.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Guard([this, exit] { (this->*exit)(); });
        break;
    }
    default:
        break;
    }
    return false;
}

void RunPropertiesDialog(Platform& platform, const TIcon& trayIcon, std::function<void()> reread) {
    auto* form = new TForm1(platform, std::move(reread));
    // An independent copy of the tray's picture.
    if (!trayIcon.Empty()) {
        form->Image1Icon.Assign(trayIcon);
        form->Image1->setPixmap(QPixmap::fromImage(trayIcon.Image().copy()));
    }
    form->exec();
    // Released once its own pending events are handled.
    form->deleteLater();
}

}  // namespace veska
