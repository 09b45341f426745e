// Between the controls and the working copy's CP932 texts: list captions, field texts, chosen
// files and names asked with the input dialog, each refused with a message when it cannot be
// held.
#include "Unit1/Form1.h"

#include <memory>

#include "Unit1/ListRows.h"
#include "Unit2/InputDlg.h"
#include "store/TextLines.h"
#include "text/Codec.h"

namespace veska {

Bytes TForm1::Caption(const QListWidget* list, int row) {
    return list->item(row)->data(Qt::UserRole).toByteArray().toStdString();
}

int TForm1::Selected(const QListWidget* list) {
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

std::optional<Bytes> TForm1::Narrow(const QString& text) {
    if (std::optional<Bytes> bytes = fromUtf8(text.toStdString())) return bytes;
    Unusable();
    return std::nullopt;
}

void TForm1::Unusable() {
    p_.desktop->MessageBox(sj("Veska で扱えない文字 (シフト JIS にない文字) が含まれているため、使えません。"),
                           sj("エラー"), MB_OK | MB_ICONHAND);
}

// No store can hold a line break: one pasted or dropped into a field is taken back at once, not
// left to fail as a write at the next Apply.
void TForm1::RefuseLineBreaks(QLineEdit* field) {
    auto kept = std::make_shared<QString>(field->text());
    auto breaks = [](const QString& text) {
        return text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(u'\0'));
    };
    connect(field, &QLineEdit::textChanged, this, [kept, breaks](const QString& text) {
        if (!breaks(text)) *kept = text;
    });
    connect(field, &QLineEdit::textEdited, this, [this, field, kept, breaks](const QString& text) {
        if (!breaks(text)) return;
        field->setText(*kept);
        p_.desktop->MessageBox(sj("Veska で扱えない文字 (改行) が含まれているため、使えません。"), sj("エラー"),
                               MB_OK | MB_ICONHAND);
    });
}

// A field keeps the bytes it was given, so that an untouched field stores them unchanged even
// where a round trip through Unicode would not give them back.
void TForm1::SetField(QLineEdit* field, const Bytes& text) {
    field->setProperty("bytes", QByteArray::fromStdString(text));
    field->setText(Widen(text));
}

std::optional<Bytes> TForm1::FieldBytes(QLineEdit* field) {
    Bytes shown = field->property("bytes").toByteArray().toStdString();
    if (field->text() == Widen(shown)) return shown;
    return Narrow(field->text());
}

std::optional<Bytes> TForm1::Chosen(const FileChoice& choice) {
    // No store can hold a line break: refused now, not as a failed write at the next Apply.
    if (choice.kind == FileChoice::Chosen && !lines::hasLineBreakOrNul(choice.path)) return choice.path;
    if (choice.kind != FileChoice::Cancelled) Unusable();
    return std::nullopt;
}

std::optional<Bytes> TForm1::AskName(const Bytes& prompt, const Bytes& proposed, bool mayCancel) {
    InputDlg->Label1->setText(Widen(prompt));
    InputDlg->Edit1->setText(Widen(proposed));
    InputDlg->CancelBtn->setEnabled(mayCancel);
    InputDlg->ShowModal();
    InputDlg->CancelBtn->setEnabled(true);
    if (!InputDlg->Accepted) return std::nullopt;
    // Taken unchanged, the text keeps its exact bytes.
    if (InputDlg->Edit1->text() == Widen(proposed)) return proposed;
    return Narrow(InputDlg->Edit1->text());
}

bool TForm1::RenameRow(QListWidget* list, int row, const Bytes& prompt) {
    const std::optional<Bytes> caption = AskName(prompt, Caption(list, row), true);
    if (caption) SetRowText(list->item(row), *caption);
    return caption.has_value();
}

void TForm1::Warn(const Bytes& text) { p_.desktop->MessageBox(text, sj("警告"), MB_OK | MB_ICONEXCLAMATION); }

}  // namespace veska
