// VESKA: the program file.
#include <QApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

#include "app/Application.h"
#include "platform/linux/LinuxPlatform.h"

int main(int argc, char** argv) {
    // Qt's Wayland plugin warns of the text-input leave that comes for a window already closed (a
    // dialog): nothing is wrong, so the user's terminal stays quiet; QT_LOGGING_RULES still shows it.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.qpa.wayland.textinput.warning=false"));
    QApplication app(argc, argv);
    QApplication::setApplicationName("Veska");
    // The resident form is never shown: closing a dialog must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // Veska speaks Japanese whatever the locale: so do Qt's own dialogs (file choosers).
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    veska::LinuxPlatform system;
    return veska::RunVeska(system.platform(), [] { QApplication::exec(); });
}
