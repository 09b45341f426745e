#include "vcl/FormFont.h"

#include <QStringList>

namespace veska {

QFont FormFont() {
    QFont font;
    font.setFamilies({QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAGothic")});
    font.setPixelSize(12);  // Designer keeps point sizes only
    return font;
}

}  // namespace veska
