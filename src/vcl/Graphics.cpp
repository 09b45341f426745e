#include "vcl/Graphics.h"

#include <QBuffer>
#include <QImageReader>

#include "platform/Platform.h"
#include "text/Codec.h"
#include "vcl/Exception.h"

#include "forms/veska16.xpm"

namespace veska {

namespace {
uint32_t nextHandle = 1;
}

void TIcon::SetImage(const QImage& image) {
    image_ = image;
    image_.detach();
    handle_ = image_.isNull() ? 0 : nextHandle++;
    changed();
}

void TIcon::Assign(const TIcon& other) { SetImage(other.image_.copy()); }

void TIcon::ReleaseHandle() {
    image_ = QImage();
    handle_ = 0;
    changed();
}

QImage TIcon::DecodeIco(const Bytes& data) {
    // ICONDIR: reserved 0, type 1, at least one image.
    auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(data[at])) |
               (static_cast<unsigned>(static_cast<unsigned char>(data[at + 1])) << 8);
    };
    if (data.size() < 6 + 16 || u16(0) != 0 || u16(2) != 1 || u16(4) == 0) return {};
    QByteArray bytes(data.data(), static_cast<qsizetype>(data.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    return reader.read();
}

void TIcon::LoadFromFile(IFiles& files, const Bytes& path) {
    auto data = files.ReadFile(path);
    if (!data) throw EFOpenError(format1(sj("ファイル %s は開けません"), path));
    QImage img = DecodeIco(*data);
    if (img.isNull()) throw EInvalidGraphic(sj("アイコンイメージが不正です"));
    SetImage(img);
}

void LoadPicture(TIcon& picture, IFiles& files, const Bytes& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    // Neither '/' nor '.' is ever the second byte of a double-byte character.
    const Bytes extension = dot == Bytes::npos || (slash != Bytes::npos && dot < slash) ? "" : path.substr(dot + 1);
    Bytes folded = extension;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (folded != "ico") throw EInvalidGraphic(format1(sj("拡張子 .%s の画像形式は処理できません"), extension));
    picture.LoadFromFile(files, path);
}

QImage BuiltInIcon() { return QImage(veska16_xpm); }

}  // namespace veska
