// Choosing a launch-menu entry: its sound, then the shell or the personal application.
#include "Unit0/Main.h"
#include "store/Names.h"
#include "text/Codec.h"
#include "vcl/Exception.h"

namespace veska {

void TMain::MyPopupHandler(TObject* Sender) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item) return;
    // Copies: a tool may rebuild the menus (through the properties dialog) while it runs.
    const int position = item->MenuIndex();
    const Bytes hint = item->Hint;
    const Bytes name = item->Name();
    const Bytes sound =
        position >= 0 && position < static_cast<int>(launchSounds_.size()) ? launchSounds_[position] : Bytes();

    if (sound != names::None) p_.sound->PlaySoundAsync(sound);
    if (hint != names::PersonalApplication) {
        p_.shell->ShellExecute(cutBytes(hint, 255));
        return;
    }
    const Bytes digit = name.size() >= 2 ? name.substr(1, 1) : Bytes();
    if (digit.size() != 1 || digit[0] < '0' || digit[0] > '9')
        throw EConvertError(format1(sj("'%s' は数値ではありません"), digit));
    switch (digit[0]) {
        case '2': RecentDel(Sender); break;
        case '3': Resource(Sender); break;
        case '4': TempDel(Sender); break;
        default: break;  // "P1" opens its submenu; other digits do nothing
    }
}

}  // namespace veska
