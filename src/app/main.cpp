// VESKA: the program file.
#include <QApplication>

#include "app/Application.h"
#include "platform/linux/LinuxPlatform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Veska");
    // The resident form is never shown: closing a dialog must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    veska::LinuxPlatform system;
    return veska::RunVeska(system.platform(), [] { QApplication::exec(); });
}
