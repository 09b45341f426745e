// The forms' font, with its Linux stand-ins.
#pragma once
#include <QFont>

namespace veska {

// "ＭＳ Ｐゴシック" 12 px; fontconfig knows the IPA fonts by their ASCII family names.
QFont FormFont();

}  // namespace veska
