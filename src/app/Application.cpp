#include "app/Application.h"

#include <memory>

#include "Unit0/Main.h"
#include "vcl/ErrorBox.h"
#include "text/Codec.h"

namespace veska {

int RunVeska(Platform& platform, const std::function<void()>& runLoop) {
    if (platform.lock->CreateMutexAlreadyExists("QOTVeska")) {
        platform.desktop->MessageBox(sj("すでに常駐しているため起動できません。"), "", MB_OK | MB_ICONHAND);
        return 0;
    }
    std::unique_ptr<TMain> main;
    try {
        main = std::make_unique<TMain>(platform);
    } catch (const Exception& e) {
        ShowFatal(*platform.desktop, e.Message());
        return 1;
    } catch (const std::exception& e) {
        ShowFatal(*platform.desktop, e.what());
        return 1;
    }
    Guarded(*platform.desktop, [&] { main->FormCreate(main.get()); });
    // The exit command may have run inside a start-up dialog, before the loop.
    if (!main->Closed()) runLoop();
    main.reset();  // the tray icon leaves the tray with the form
    return 0;
}

}  // namespace veska
