// An icon image object: empty or holding one picture, with a change event and a handle that
// names the picture towards the shell.
#pragma once
#include <QImage>
#include <functional>

#include "text/Sjis.h"

namespace veska {

class IFiles;

class TIcon {
public:
    TIcon() = default;
    TIcon(const TIcon&) = delete;
    TIcon& operator=(const TIcon&) = delete;

    bool Empty() const { return image_.isNull(); }
    const QImage& Image() const { return image_; }
    // 0 when empty; otherwise a number unique to this picture in the process.
    uint32_t Handle() const { return handle_; }

    // Copies the picture (not shared) and raises OnChange.
    void Assign(const TIcon& other);
    void SetImage(const QImage& image);
    // Releases the picture and raises OnChange.
    void ReleaseHandle();
    // Reads an .ico file. Raises "ファイル %s は開けません" when it cannot be read and
    // "アイコンイメージが不正です" when it holds no icon.
    void LoadFromFile(IFiles& files, const Bytes& path);
    // Decodes icon file bytes; a null image when they are not an icon.
    static QImage DecodeIco(const Bytes& data);

    std::function<void()> OnChange;

private:
    void changed() {
        if (OnChange) OnChange();
    }
    QImage image_;
    uint32_t handle_ = 0;
};

// The picture loader of the dialogs: the file's extension names its type, and the icon (".ico",
// in any case) is the one type it reads, as TIcon::LoadFromFile does. Any other raises
// "拡張子 .%s の画像形式は処理できません" with the extension, before the file is opened.
void LoadPicture(TIcon& picture, IFiles& files, const Bytes& path);

// The program's built-in 16 x 16 icon: the tray's default picture and the dialogs' window icon.
QImage BuiltInIcon();

}  // namespace veska
