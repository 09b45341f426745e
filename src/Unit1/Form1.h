// The properties dialog. For now it is an empty modal dialog captioned "Veska のプロパティ"
// holding only the icon preview; its pages come with the properties work.
#pragma once
#include "platform/Platform.h"
#include "vcl/Graphics.h"

namespace veska {

// Creates the dialog, copies the tray's current icon into its preview, shows it modally and
// releases it when it closes.
void RunPropertiesDialog(Platform& platform, const TIcon& trayIcon);

}  // namespace veska
