// How the writer reaches whoever shows its progress: a window, a terminal or a test.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

class WriteObserver {
public:
    virtual ~WriteObserver() = default;

    // Adds text to the information shown to the user (the report so far).
    virtual void AppendInfo(const std::string& text) = 0;
    // The whole information text as it stands; saved as the report file.
    [[nodiscard]] virtual std::string InfoText() const = 0;
    // Sets the status line, then lets the window catch up with waiting events.
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void ProcessPendingEvents() = 0;
    // Progress in source bytes; values may exceed 2^31 for large sources.
    virtual void SetProgressMaximum(std::int64_t maximum) = 0;
    virtual void SetProgressValue(std::int64_t value) = 0;
    virtual void SetBusyPointer(bool busy) = 0;
    // Something the user should know of a write that still succeeds; the report says it too.
    virtual void Notice(const std::string& /*text*/) {}
    // Asked once per block of the copy, right after the pending events were handled: true
    // when the user asked to stop the write (a click on Cancel among those events).
    [[nodiscard]] virtual bool CancelRequested() { return false; }
    // The finished report, handed over before the target and the report take their names,
    // for a run that promises it elsewhere too (standard output). False when it could not
    // be delivered (the observer has said why); then nothing is committed.
    [[nodiscard]] virtual bool PublishReport(const std::string& /*text*/) { return true; }
};

}  // namespace velmora
