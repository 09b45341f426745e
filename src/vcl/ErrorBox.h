// The application's standard error box and the one guard every handler runs through.
#pragma once
#include <exception>
#include <utility>

#include "platform/Platform.h"
#include "vcl/Exception.h"

namespace veska {

// The application title, also the standard error box's caption.
inline const Bytes ApplicationTitle = "Veska";

// The message with "." appended when its last character sorts after "." as a byte
// (a double-byte last character always does).
Bytes WithFullStop(const Bytes& message);

// The standard error box: the message, a stop icon, OK, caption "Veska".
void ShowException(IDesktop& desktop, const Bytes& message);

// The fatal start-up box, caption "アプリケーション エラー".
void ShowFatal(IDesktop& desktop, const Bytes& message);

// Runs a handler; an error it raises is shown by the standard error box and goes no further.
template <typename F>
void Guarded(IDesktop& desktop, F&& handler) {
    try {
        std::forward<F>(handler)();
    } catch (const Exception& e) {
        ShowException(desktop, e.Message());
    } catch (const std::exception& e) {
        ShowException(desktop, e.what());
    }
}

}  // namespace veska
