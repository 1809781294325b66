// A way of putting the window on screen: the Qt desktop window, or none at all.
#pragma once

#include <functional>

#include "ui/main_view.h"
#include "ui/main_window.h"

namespace velmora {

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;

    // True for a desktop window a user can see and answer; false for the headless one.
    [[nodiscard]] virtual bool HasWindow() const { return false; }
    // The window's controls and services; exists (hidden) from construction on.
    [[nodiscard]] virtual MainView& View() = 0;
    // Wires the buttons to the logic and the window's close to onClose (the settings are
    // stored there). Called once, before start-up looks at the command line.
    virtual void Attach(MainWindow& logic, std::function<void()> onClose) = 0;
    // Runs until the window is destroyed; returns at once where there is no window.
    virtual void RunEventLoop() = 0;
    // The program is about to end: after the event loop, or straight after a batch run that
    // ends it. A front end without a window prints the information text here. False when
    // that text could not be delivered (standard output on a full disk, for instance).
    [[nodiscard]] virtual bool Finish() { return true; }
};

}  // namespace velmora
