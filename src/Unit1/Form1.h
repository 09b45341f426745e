// TForm1: the properties dialog. It loads both stores into a working copy held by its controls
// and five lists, its pages edit only that copy, and Apply and OK write the whole copy back and
// have the resident form rebuild its menus.
#pragma once
#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Platform.h"
#include "ui_Form1.h"
#include "vcl/Graphics.h"

class QMenu;
class QAction;
class QListWidget;

namespace veska {

class TForm1 : public QDialog, public Ui::TForm1 {
    Q_OBJECT

public:
    // reread: the resident form's IniRead, run after every completed Apply.
    TForm1(Platform& platform, std::function<void()> reread, QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- frame ----
    void FormCreate();
    void Button20Click();  // Apply
    void Button7Click();   // OK
    void Button8Click();   // Cancel
    void FormClose();
    void PageControl1Change();
    void MenuChange();

    // ---- menu designer ----
    int Select1() const;
    void ListBox1Click();
    void ListBox1DblClick();
    void Button1Click();   // add
    void Button2Click();   // delete
    void Button3Click();   // separator
    void Button4Click();   // rename
    void Button17Click();  // sound
    void Button5Click();   // up
    void Button6Click();   // down
    void Edit1KeyPress();
    void Edit1Exit();
    void Edit3KeyPress();
    void Edit3Exit();

    // ---- personal applications ----
    int Select2() const;
    void PAppli();
    void CheckListBox1Click();
    void CheckListBox1ClickCheck();
    void CheckBox5Click();
    void CheckBox4Click();
    void CheckBox6Click();
    void CheckBox3Click();
    void CheckBox1Click();
    void RadioButton1Click();
    void RadioButton2Click();
    void ListBox2Click();
    void Button9Click();   // add a wallpaper
    void Button10Click();  // delete a wallpaper
    void Button11Click();  // rename a wallpaper
    void Button12Click();  // up
    void Button13Click();  // down
    void ComboBox1Change();
    void ListBox3Click();
    void Button14Click();  // add a temporary folder
    void Button15Click();  // delete a temporary folder
    void Button18Click();  // swap-file location

    // ---- style ----
    void Button16Click();  // load an icon
    void Button19Click();  // the default icon
    void RadioButton3Click();
    void RadioButton4Click();

    // The working copy beside the list boxes, row for row.
    std::vector<Bytes> PathList, NameList, SoundList;
    std::vector<Bytes> WallPathList, WallStyleList;
    // The working icon path ("Style" "Icon"); empty: the built-in icon.
    Bytes Image1Hint;
    // The icon preview's picture.
    TIcon Image1Icon;

    QMenu* PopupMenu1 = nullptr;
    QAction *A1 = nullptr, *Delete1 = nullptr, *S1 = nullptr, *R1 = nullptr, *S2 = nullptr, *U1 = nullptr,
            *D1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction *A2 = nullptr, *Delete2 = nullptr, *Rename1 = nullptr, *U2 = nullptr, *D2 = nullptr;

    // A list box's caption at a row, as the stores hold it; and the row selected (-1: none).
    static Bytes Caption(const QListWidget* list, int row);
    static int Selected(const QListWidget* list);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    // Every change of Apply's and OK's enabled state goes through here.
    enum class Edit {
        Changed,          // an edit of the working copy: Apply
        MenuFilled,       // add, separator: Apply and OK
        MenuEmptied,      // the last menu row deleted: neither
        ToolSwitched,     // a "メニューに追加" box: both, as the menu has rows or not
        CheckMarkClicked, // a check mark of the tool list: Apply follows OK
        Saved,            // opened, or a completed Apply: Apply off
    };
    void Track(Edit edit);

    void BuildMenus();
    void ConnectHandlers();
    void LoadLists();
    // Sets the option controls from the settings key; the message of a value that could not be
    // read, empty when every one could.
    Bytes LoadOptions();
    void ShowIcon(const QImage& image);
    void InsertMenuRow(int at, const Bytes& caption, const Bytes& name, const Bytes& path, const Bytes& sound);
    void DeleteMenuRow(int row);
    void MoveMenuRow(int from, int to);
    void MoveWallRow(int from, int to);
    void SetMenuRowCommands(bool enabled);
    void SetWallRowCommands(bool enabled);
    void SetCheckBox(class QCheckBox* box, bool checked);
    void SetToolMark(int entry, bool on);
    void SelectRadio(class QRadioButton* button);
    void ShowWallRow(int row);
    // The text of a field or the input dialog in CP932; nothing (after telling the user) when
    // it holds a character CP932 cannot.
    std::optional<Bytes> Narrow(const QString& text);
    // Tells the user a text cannot be used.
    void Unusable();
    // Takes back any edit of the field that brings a line break, telling the user why.
    void RefuseLineBreaks(class QLineEdit* field);
    void SetField(class QLineEdit* field, const Bytes& text);
    std::optional<Bytes> FieldBytes(class QLineEdit* field);
    // A file or folder chosen in a dialog; nothing when cancelled or refused.
    std::optional<Bytes> Chosen(const FileChoice& choice);
    void Warn(const Bytes& text);
    // Asks for a name with the input dialog; nothing when not accepted or not representable.
    std::optional<Bytes> AskName(const Bytes& prompt, const Bytes& proposed, bool mayCancel);
    // Renames a row with the input dialog; true when it did.
    bool RenameRow(QListWidget* list, int row, const Bytes& prompt);
    template <typename F>
    void Guard(F&& handler);

    Platform& p_;
    std::function<void()> reread_;
};

// Creates the dialog, copies the tray's current icon into its preview, shows it modally and
// destroys it when it closes. reread rebuilds the resident form's menus after each Apply.
void RunPropertiesDialog(Platform& platform, const TIcon& trayIcon, std::function<void()> reread);

// The 41-dash line a separator row shows.
extern const Bytes SeparatorLine;

}  // namespace veska
