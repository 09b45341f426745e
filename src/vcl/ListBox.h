// A list box as the forms' lists behave: once a row is selected one stays selected (Ctrl+click
// and Ctrl+Space take nothing away), Click runs once for each selection or click by the user,
// and DblClick for a double-click anywhere on the list, the blank under its rows included.
#pragma once
#include <QListWidget>

namespace veska {

class TListBox : public QListWidget {
    Q_OBJECT

public:
    explicit TListBox(QWidget* parent = nullptr);

signals:
    void Click();
    void DblClick();

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // The press of the click under way changed the selection, which ran Click already.
    bool pressSelected_ = false;
};

}  // namespace veska
