#include "platform/linux/LinuxFileDialogs.h"

#include <glib.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSplitter>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QUrl>

#include "platform/linux/XdgDirs.h"
#include "text/Codec.h"

namespace veska {

namespace {

QString native(const Bytes& text) { return QString::fromStdString(toUtf8(text)); }

FileChoice choiceOf(const QString& path) {
    FileChoice choice;
    const std::string utf8 = path.toStdString();
    if (auto bytes = fromUtf8(utf8)) {
        choice.kind = FileChoice::Chosen;
        choice.path = *bytes;
    } else {
        choice.kind = FileChoice::NotRepresentable;
        choice.nativeName = utf8;
    }
    return choice;
}

// Home, the root, and the folders that hold the desktop's application entries.
QList<QUrl> sidebarUrls() {
    QStringList places{QFile::decodeName(HomeFolder().c_str()), QStringLiteral("/"),
                       QFile::decodeName(DataHome().c_str()) + QStringLiteral("/applications")};
    QString shared = qEnvironmentVariable("XDG_DATA_DIRS");
    if (shared.isEmpty()) shared = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : shared.split(u':', Qt::SkipEmptyParts))
        if (dir.startsWith(u'/')) places << dir + QStringLiteral("/applications");
    QList<QUrl> urls;
    for (const QString& place : places) {
        const QString clean = QDir::cleanPath(place);
        const QUrl url = QUrl::fromLocalFile(clean);
        if (QFileInfo(clean).isDir() && !urls.contains(url)) urls << url;
    }
    return urls;
}

// Filters by the chosen file type's rules, which Qt's name patterns cannot say ("executable").
class FileTypeProxy : public QSortFilterProxyModel {
public:
    explicit FileTypeProxy(std::vector<ParsedFilter> filters) : filters_(std::move(filters)) {}

    void choose(int index) {
        chosen_ = index;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (chosen_ < 0 || chosen_ >= static_cast<int>(filters_.size())) return true;
        const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
        const QModelIndex entry = files->index(row, 0, parent);
        const QFileInfo info = files->fileInfo(entry);
        const bool directory = files->isDir(entry);
        return FilterAccepts(filters_[static_cast<std::size_t>(chosen_)], info.fileName(), directory,
                             !directory && info.isFile() && info.isExecutable());
    }

private:
    std::vector<ParsedFilter> filters_;
    int chosen_ = 0;
};

// Qt's folder chooser insists on an existing folder; ours also takes one typed that is not there
// yet when the caller makes new folders.
class FolderDialog : public QFileDialog {
public:
    explicit FolderDialog(bool newFolder) : newFolder_(newFolder) {}

protected:
    void accept() override {
        const QStringList chosen = selectedFiles();
        if (newFolder_ && chosen.size() == 1 && !QFileInfo::exists(chosen.front())) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }

private:
    bool newFolder_;
};

void prepare(QFileDialog& dialog, const FileDialogRequest& request) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontResolveSymlinks);
    if (!request.title.empty()) dialog.setWindowTitle(native(request.title));
    if (request.initialFolder == "\\") dialog.setDirectory(QStringLiteral("/"));
    else if (!request.initialFolder.empty()) dialog.setDirectory(native(request.initialFolder));
    dialog.setSidebarUrls(sidebarUrls());
}

void useFileTypes(QFileDialog& dialog, const Bytes& filter) {
    std::vector<ParsedFilter> filters = ParseFilter(filter);
    if (filters.empty()) return;
    QStringList labels;
    for (const ParsedFilter& f : filters) labels << f.label;
    auto* proxy = new FileTypeProxy(std::move(filters));
    dialog.setProxyModel(proxy);  // the dialog owns it
    auto* files = qobject_cast<QFileSystemModel*>(proxy->sourceModel());
    dialog.setNameFilters(labels);
    // Qt reads name patterns out of each label's bracket, words and all; only the proxy filters.
    if (files) files->setNameFilters({});
    proxy->choose(0);
    // Connected after the dialog's own handler, so this runs once Qt has set its patterns again.
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        QObject::connect(types, &QComboBox::activated, proxy, [proxy, files](int index) {
            proxy->choose(index);
            if (files) files->setNameFilters({});
        });
}

constexpr int kPreviewSide = 160;

QPixmap previewOf(const QString& path) {
    if (!QFileInfo(path).isFile()) return {};
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize box(kPreviewSide, kPreviewSide);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > box.width() || size.height() > box.height()))
        reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

void addPreview(QFileDialog& dialog) {
    // Beside the file list, in the splitter that holds the side bar and the list, so the rows
    // of the name field and the buttons keep their width.
    auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter"));
    if (splitter == nullptr) return;
    auto* preview = new QLabel(splitter);
    preview->setObjectName(QStringLiteral("preview"));
    preview->setFixedSize(kPreviewSide + 8, kPreviewSide + 8);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    splitter->addWidget(preview);
    splitter->setCollapsible(splitter->indexOf(preview), false);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, [preview](const QString& path) {
        const QPixmap picture = previewOf(path);
        if (picture.isNull()) preview->clear();
        else preview->setPixmap(picture);
    });
}

FileChoice openExisting(const FileDialogRequest& request, bool withPreview) {
    QFileDialog dialog;
    prepare(dialog, request);
    dialog.setFileMode(QFileDialog::ExistingFile);
    useFileTypes(dialog, request.filter);
    if (withPreview) addPreview(dialog);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    return choiceOf(chosen.front());
}

}  // namespace

std::vector<ParsedFilter> ParseFilter(const Bytes& filter) {
    const QStringList parts = native(filter).split(u'|');
    std::vector<ParsedFilter> out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        ParsedFilter parsed;
        QStringList shows;
        for (const QString& raw : parts[i + 1].split(u';')) {
            const QString pattern = raw.trimmed();
            if (pattern.isEmpty()) continue;
            FilterRule rule;
            QString says;
            if (pattern.compare(u"*.exe", Qt::CaseInsensitive) == 0) {
                rule.kind = FilterRule::ExecutableFile;
                says = QStringLiteral("実行ファイル");
            } else if (pattern.compare(u"*.lnk", Qt::CaseInsensitive) == 0) {
                rule.kind = FilterRule::DesktopEntry;
                says = QStringLiteral("*.desktop");
            } else if (pattern == u"*.*" || pattern == u"*") {
                rule.kind = FilterRule::AnyFile;
                says = QStringLiteral("*");
            } else {
                rule.kind = FilterRule::NamePattern;
                rule.pattern = QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive);
                says = pattern.toLower();
            }
            if (!shows.contains(says)) shows << says;
            parsed.rules.push_back(std::move(rule));
        }
        if (parsed.rules.empty()) {
            parsed.rules.emplace_back();
            shows << QStringLiteral("*");
        }
        // The description's own bracket names Windows patterns; ours replaces it.
        QString words = parts[i].trimmed();
        if (words.endsWith(u')')) {
            const qsizetype open = words.lastIndexOf(u'(');
            if (open >= 0) words = words.left(open).trimmed();
        }
        const QString bracket = u'(' + shows.join(QStringLiteral(", ")) + u')';
        parsed.label = words.isEmpty() ? bracket : words + u' ' + bracket;
        out.push_back(std::move(parsed));
    }
    return out;
}

bool FilterAccepts(const ParsedFilter& filter, const QString& name, bool directory, bool executableFile) {
    if (directory) return true;
    for (const FilterRule& rule : filter.rules) {
        switch (rule.kind) {
        case FilterRule::ExecutableFile:
            if (executableFile) return true;
            break;
        case FilterRule::DesktopEntry:
            if (name.endsWith(u".desktop", Qt::CaseInsensitive)) return true;
            break;
        case FilterRule::AnyFile:
            return true;
        case FilterRule::NamePattern:
            if (rule.pattern.match(name).hasMatch()) return true;
            break;
        }
    }
    return false;
}

FileChoice LinuxFileDialogs::OpenFile(const FileDialogRequest& request) { return openExisting(request, false); }

FileChoice LinuxFileDialogs::OpenPicture(const FileDialogRequest& request) { return openExisting(request, true); }

FileChoice LinuxFileDialogs::ChooseDirectory(const FileDialogRequest& request) {
    FolderDialog dialog(request.newFolder);
    prepare(dialog, request);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    // Read-only: no button to make a folder, nor renaming or deleting one.
    dialog.setOption(QFileDialog::ReadOnly, !request.newFolder);
    // Qt greys the button out while the typed folder does not exist; this runs after it does.
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    if (QPushButton* ok = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr; ok && name && request.newFolder)
        QObject::connect(name, &QLineEdit::textChanged, ok, [ok](const QString& text) {
            if (!text.trimmed().isEmpty()) ok->setEnabled(true);
        });
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    return choiceOf(QDir::cleanPath(QFileInfo(chosen.front()).absoluteFilePath()));
}

Bytes LinuxFileDialogs::DisplayName(const Bytes& path) {
    const std::string file = toUtf8(path);
    if (!QString::fromStdString(file).endsWith(u".desktop", Qt::CaseInsensitive)) return {};
    Bytes name;
    GKeyFile* entry = g_key_file_new();
    // Every translation kept: the language is picked when asked, from the environment as it is then.
    if (g_key_file_load_from_file(entry, file.c_str(), G_KEY_FILE_KEEP_TRANSLATIONS, nullptr)) {
        if (gchar* text = g_key_file_get_locale_string(entry, "Desktop Entry", "Name", nullptr, nullptr)) {
            if (auto bytes = fromUtf8(text)) name = *bytes;
            g_free(text);
        }
    }
    g_key_file_free(entry);
    return name;
}

}  // namespace veska
