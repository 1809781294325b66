// The Windows desktop front end: the Win32 window, created hidden.
#include "platform/win32/win32_front_end.h"

#include "platform/win32/win32_main_view.h"

namespace velmora {

namespace {

class Win32FrontEnd final : public FrontEnd {
  public:
    MainView& View() override { return view_; }
    void Attach(MainWindow& logic, std::function<void()> onClose) override {
        view_.Attach(logic, std::move(onClose));
    }
    void RunEventLoop() override { view_.RunMessageLoop(); }

  private:
    Win32MainView view_;
};

}  // namespace

std::unique_ptr<FrontEnd> MakeWin32FrontEnd() {
    return std::make_unique<Win32FrontEnd>();
}

}  // namespace velmora
