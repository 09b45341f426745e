#include "vcl/ListBox.h"

#include <QMouseEvent>

namespace veska {

TListBox::TListBox(QWidget* parent) : QListWidget(parent) {
    // Code selects rows with the list's signals blocked, so only the user's selections get here.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        pressSelected_ = true;
        emit Click();
    });
    // A click on the row already selected changes nothing, yet it is a click.
    connect(this, &QListWidget::itemClicked, this, [this] {
        if (!pressSelected_) emit Click();
    });
}

QItemSelectionModel::SelectionFlags TListBox::selectionCommand(const QModelIndex& index, const QEvent* event) const {
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle) && index.isValid() &&
        selectionModel()->isSelected(index))
        return QItemSelectionModel::NoUpdate;
    return command;
}

void TListBox::mousePressEvent(QMouseEvent* event) {
    pressSelected_ = false;
    QListWidget::mousePressEvent(event);
}

void TListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) emit DblClick();
}

}  // namespace veska
