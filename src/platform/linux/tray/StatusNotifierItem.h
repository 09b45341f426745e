// One icon offered to a StatusNotifierItem host (the tray of KDE Plasma, xfce4-panel, GNOME's
// AppIndicator extension, waybar) over its own session-bus connection, with its menu exported
// beside it. The host's clicks come back as the four signals, with the position it reports.
#pragma once
#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <functional>
#include <memory>
#include <utility>

#include "platform/linux/tray/DbusMenu.h"

namespace veska {

class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    static constexpr const char* WatcherService = "org.kde.StatusNotifierWatcher";

    StatusNotifierItem(uint32_t id, DbusMenu::Handlers menuHandlers);
    ~StatusNotifierItem() override;

    bool Connected() const { return connection_.isConnected(); }
    QDBusConnection& Connection() { return connection_; }
    // Asks the watcher to show the item, without waiting: done hears an empty string on success,
    // else the error's name and message. An item deleted first never calls it.
    void Register(std::function<void(const QString& error)> done);

    // The picture at the sizes hosts draw, each sharp; by its theme name too when the installed
    // theme holds this very picture.
    void SetIcon(const QImage& image);
    void SetToolTip(const QString& text);
    // The token the host handed over for the click it is about to report; spent once taken.
    QString TakeActivationToken() { return std::exchange(token_, QString()); }
    // Whether the host should show the menu on the primary click too.
    void SetItemIsMenu(bool value) { itemIsMenu_ = value; }
    DbusMenu& Menu() { return *menu_; }

    // What the host's adaptor reads.
    QString title_ = QStringLiteral("Veska");
    SniPixmaps pixmaps_;
    QString iconName_;
    QString tip_;
    QString token_;
    bool itemIsMenu_ = false;

signals:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void NewIcon();
    void NewToolTip();
    void NewTitle();

private:
    void Send(std::function<void(const QString&)> done);
    void Settle();
    bool Listed(const QStringList& items) const;

    QString connectionName_;
    QDBusConnection connection_;
    std::unique_ptr<DbusMenu> menu_;
    int retries_ = 0;
};

}  // namespace veska
