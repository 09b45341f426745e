#include "platform/linux/Activation.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <qpa/qplatformnativeinterface.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace veska {

namespace {

QString pending;

bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// Qt hands its platform functions out untyped; their true types are the platform plugin's.
template <class F, class G>
F typed(G function) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(function));
}

// Qt gives its next window the startup id and, once it is shown, ends that startup.
void setStartupId(const QByteArray& id) {
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (!native || !onX11()) return;
    using Set = void (*)(const char*);
    if (auto set = typed<Set>(native->nativeResourceFunctionForIntegration("setstartupid")))
        set(id.constData());
}

// The window manager weighs a new window's claim to the focus by the time of the user's last
// action in it: the click in the host's menu was that action.
void setUserTime(unsigned timestamp) {
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (!native || !onX11() || timestamp == 0 || !QGuiApplication::primaryScreen()) return;
    using Set = void (*)(QScreen*, quint32);
    for (const char* what : {"setapptime", "setappusertime"})
        if (auto set = typed<Set>(native->nativeResourceFunctionForScreen(what)))
            set(QGuiApplication::primaryScreen(), timestamp);
}

// glibc's setenv keeps every value it was ever given, as it cannot tell whether anyone still
// points at an old one: with a new token at every click (GNOME's), that grows without end. So the
// variable's entry is our own, and only the one before the current is kept for a late reader.
std::unique_ptr<char[]> tokenEntries[2];

void putToken(const QByteArray& token) {
    static const char name[] = "XDG_ACTIVATION_TOKEN=";
    auto entry = std::make_unique<char[]>(sizeof name + token.size());
    std::memcpy(entry.get(), name, sizeof name - 1);
    std::memcpy(entry.get() + sizeof name - 1, token.constData(), token.size() + 1);
    ::putenv(entry.get());
    tokenEntries[1] = std::move(tokenEntries[0]);
    tokenEntries[0] = std::move(entry);
}

}  // namespace

void GrantActivation(const QString& token, unsigned timestamp) {
    pending = token;
    // Without a token, an X11 window manager still takes the click's time from a startup id.
    if (pending.isEmpty() && timestamp != 0 && onX11())
        pending = QStringLiteral("veska-%1_TIME%2").arg(QCoreApplication::applicationPid()).arg(timestamp);
    setUserTime(timestamp);
    if (pending.isEmpty()) return;
    if (onX11())
        setStartupId(pending.toUtf8());
    else
        putToken(pending.toUtf8());  // Qt's Wayland windows take it from here
}

void EndActivation() {
    if (pending.isEmpty()) return;
    pending.clear();
    if (onX11())
        setStartupId(QByteArray());
    else
        qunsetenv("XDG_ACTIVATION_TOKEN");
}

std::string TakeActivationToken() {
    const std::string token = pending.toStdString();
    EndActivation();
    return token;
}

}  // namespace veska
