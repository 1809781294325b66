// The front end for runs without a display: no window, no event loop, the report on stdout.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <utility>

#include "platform/front_end.h"
#include "platform/headless/headless_view.h"

namespace velmora {

class HeadlessFrontEnd final : public FrontEnd {
  public:
    // out receives the information text at the end, messages one line per message box, and
    // a write's progress line when `progressOnTerminal`.
    HeadlessFrontEnd(std::ostream& out, std::ostream& messages, bool progressOnTerminal = false,
                     std::string progressLabel = "")
        : view_(messages, progressOnTerminal, std::move(progressLabel)) {
        view_.PrintReportsTo(out);
    }

    [[nodiscard]] MainView& View() override { return view_; }
    // There are no buttons to wire, and no window that a user could close: the close
    // handler never runs, so a run without a display never stores the settings.
    void Attach(MainWindow& /*logic*/, std::function<void()> /*onClose*/) override {}
    // Nothing could arrive, so the program goes on to its end.
    void RunEventLoop() override {}
    // Prints the information text, if the run produced any; a failure to print it is told on
    // the message stream.
    [[nodiscard]] bool Finish() override;

  private:
    HeadlessView view_;
};

}  // namespace velmora
