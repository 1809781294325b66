// Lets the writer report into the window's status line, progress bar and information box.
#include "ui/view_write_observer.h"

namespace velmora {

void ViewWriteObserver::AppendInfo(const std::string& text) {
    view_.SetText(TextBox::ed_Info, view_.Text(TextBox::ed_Info) + text);
}

std::string ViewWriteObserver::InfoText() const {
    return view_.Text(TextBox::ed_Info);
}

void ViewWriteObserver::ShowStatus(const std::string& text) {
    view_.SetText(TextBox::ed_Status, text);
    // Only here does a long write let the window repaint, so the new status is seen.
    view_.ProcessPendingEvents();
}

void ViewWriteObserver::ProcessPendingEvents() {
    view_.ProcessPendingEvents();
}

void ViewWriteObserver::SetProgressMaximum(std::int64_t maximum) {
    view_.SetProgressMaximum(maximum);
}

void ViewWriteObserver::SetProgressValue(std::int64_t value) {
    view_.SetProgressValue(value);
}

void ViewWriteObserver::SetBusyPointer(bool busy) {
    view_.SetBusyPointer(busy);
}

bool ViewWriteObserver::CancelRequested() {
    return view_.CancelRequested();
}

void ViewWriteObserver::Notice(const std::string& text) {
    view_.ShowNotice(text);
}

bool ViewWriteObserver::PublishReport(const std::string& text) {
    return view_.PublishReport(text);
}

}  // namespace velmora
