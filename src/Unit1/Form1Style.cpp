// The style page: the tray icon's picture and which button pops which menu.
#include "Unit1/Form1.h"
#include "text/Codec.h"

namespace veska {

void TForm1::ShowIcon(const QImage& image) {
    // Drawn centred and unscaled, as the tray shows it.
    Image1->setPixmap(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
}

void TForm1::Button16Click() {
    const std::optional<Bytes> path =
        Chosen(p_.dialogs->OpenPicture({sj("アイコンの変更"), sj("アイコンファイル (*.ico)|*.ICO"), "\\"}));
    if (!path) return;
    TIcon loaded;
    LoadPicture(loaded, *p_.files, *path);  // a file that is no icon raises, and nothing changes
    Image1Icon.Assign(loaded);
    ShowIcon(Image1Icon.Image());
    Image1Hint = *path;
    Track(Edit::Changed);
}

void TForm1::Button19Click() {
    Image1Hint.clear();
    Image1Icon.SetImage(BuiltInIcon());
    ShowIcon(Image1Icon.Image());
    Track(Edit::Changed);
    // The tray keeps its icon until the next start: an empty path loads nothing.
    p_.desktop->MessageBox(sj("次回起動時より有効になります。"), sj("情報"), MB_OK | MB_ICONASTERISK);
}

void TForm1::RadioButton3Click() { Track(Edit::Changed); }
void TForm1::RadioButton4Click() { Track(Edit::Changed); }

}  // namespace veska
