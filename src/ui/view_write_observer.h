// Lets the writer report into the window's status line, progress bar and information box.
#pragma once

#include "correction/write_observer.h"
#include "ui/main_view.h"

namespace velmora {

class ViewWriteObserver final : public WriteObserver {
  public:
    explicit ViewWriteObserver(MainView& view) : view_(view) {}

    void AppendInfo(const std::string& text) override;
    [[nodiscard]] std::string InfoText() const override;
    void ShowStatus(const std::string& text) override;
    void ProcessPendingEvents() override;
    void SetProgressMaximum(std::int64_t maximum) override;
    void SetProgressValue(std::int64_t value) override;
    void SetBusyPointer(bool busy) override;
    void Notice(const std::string& text) override;
    [[nodiscard]] bool CancelRequested() override;
    [[nodiscard]] bool PublishReport(const std::string& text) override;

  private:
    MainView& view_;
};

}  // namespace velmora
