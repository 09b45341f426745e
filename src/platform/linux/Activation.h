// The right to take the focus that a tray host hands over with a click it passes on: the window
// or program that the click brings up comes up in front. It is good for one use.
#pragma once
#include <QString>
#include <string>

namespace veska {

// From the host: its activation token (empty when it gave none) and the time of the user's
// click (0 when unknown). Our next window carries it.
void GrantActivation(const QString& token, unsigned timestamp);
// Once what the click runs has run: whatever was not used is not kept for later windows.
void EndActivation();
// For a program being started on the click's behalf: the token, now spent (empty when none).
std::string TakeActivationToken();

}  // namespace veska
