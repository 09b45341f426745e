#include "vcl/ErrorBox.h"

#include "text/Codec.h"

namespace veska {

Bytes WithFullStop(const Bytes& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

void ShowException(IDesktop& desktop, const Bytes& message) {
    desktop.MessageBox(WithFullStop(message), ApplicationTitle, MB_OK | MB_ICONHAND);
}

void ShowFatal(IDesktop& desktop, const Bytes& message) {
    desktop.MessageBox(WithFullStop(message), sj("アプリケーション エラー"), MB_OK | MB_ICONHAND);
}

}  // namespace veska
