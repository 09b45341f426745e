// Auto-sized labels: the label is exactly as wide as its text, anchored on one side.
#pragma once
#include <QString>

class QLabel;

namespace veska {

// Sets the text and resizes the label to it, keeping its current right edge: right-aligned
// figures grow to the left.
void SetTextKeepingRightEdge(QLabel& label, const QString& text);

// Sets the text and resizes the label to it, keeping its current left edge.
void SetTextKeepingLeftEdge(QLabel& label, const QString& text);

}  // namespace veska
