// Rows of the dialog's list boxes: each item shows its text and carries the CP932 bytes the
// stores hold, so a text goes back to the stores exactly as it came.
#pragma once
#include <QListWidget>
#include <QSignalBlocker>
#include <vector>

#include "text/Codec.h"

namespace veska {

inline QString Widen(const Bytes& text) { return QString::fromStdString(toUtf8(text)); }

inline QListWidgetItem* NewRow(const Bytes& text) {
    auto* item = new QListWidgetItem(Widen(text));
    item->setData(Qt::UserRole, QByteArray::fromStdString(text));
    return item;
}

inline void SetRowText(QListWidgetItem* item, const Bytes& text) {
    item->setData(Qt::UserRole, QByteArray::fromStdString(text));
    item->setText(Widen(text));
}

// Selects a row (-1: none) as code does: without running the list's click handler.
inline void SelectRow(QListWidget* list, int row) {
    const QSignalBlocker quiet(list);
    if (row < 0) {
        list->clearSelection();
        list->setCurrentRow(-1);
    } else {
        list->setCurrentRow(row);
    }
}

// Moves a row of the list box and of every list beside it, and selects it where it went.
inline void MoveRow(QListWidget* list, std::initializer_list<std::vector<Bytes>*> beside, int from, int to) {
    {
        const QSignalBlocker quiet(list);
        list->insertItem(to, list->takeItem(from));
    }
    for (std::vector<Bytes>* column : beside) {
        Bytes moved = std::move((*column)[from]);
        column->erase(column->begin() + from);
        column->insert(column->begin() + to, std::move(moved));
    }
    SelectRow(list, to);
}

// The file's name without its folder and its last extension.
inline Bytes BaseName(const Bytes& path) {
    const std::size_t slash = path.rfind('/');
    Bytes name = slash == Bytes::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != Bytes::npos && dot > 0) name.erase(dot);
    return name;
}

}  // namespace veska
