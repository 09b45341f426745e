#include "Resource/FigureLabel.h"

#include <QFontMetrics>
#include <QLabel>
#include <algorithm>

namespace veska {

namespace {

QSize TextSize(const QLabel& label, const QString& text) {
    QFontMetrics metrics(label.font());
    // Never lower than designed: the design height already fits the form's font.
    return {metrics.horizontalAdvance(text), std::max(label.height(), metrics.height())};
}

}  // namespace

void SetTextKeepingRightEdge(QLabel& label, const QString& text) {
    const int right = label.x() + label.width();
    label.setText(text);
    QSize size = TextSize(label, text);
    label.setGeometry(right - size.width(), label.y(), size.width(), size.height());
}

void SetTextKeepingLeftEdge(QLabel& label, const QString& text) {
    label.setText(text);
    QSize size = TextSize(label, text);
    label.setGeometry(label.x(), label.y(), size.width(), size.height());
}

}  // namespace veska
