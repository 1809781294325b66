// A write observer for tests: keeps the information text and records every call in order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "correction/write_observer.h"

namespace velmora::test {

class RecordingObserver : public WriteObserver {
  public:
    explicit RecordingObserver(std::string info = "") : info_(std::move(info)) {}

    void AppendInfo(const std::string& text) override {
        info_ += text;
        calls.push_back("info:" + text);
    }
    [[nodiscard]] std::string InfoText() const override { return info_; }
    void ShowStatus(const std::string& text) override {
        calls.push_back("status:" + text);
        if (onStatus) {
            onStatus(text);
        }
    }
    void ProcessPendingEvents() override {
        calls.push_back("events");
        ++eventPasses;
    }
    [[nodiscard]] bool CancelRequested() override {
        return cancelAtEventPass > 0 && eventPasses >= cancelAtEventPass;
    }
    void SetProgressMaximum(std::int64_t maximum) override {
        calls.push_back("max:" + std::to_string(maximum));
    }
    void SetProgressValue(std::int64_t value) override {
        lastProgressValue = value;
        ++progressValueCount;
        if (recordProgressValues) {
            calls.push_back("value:" + std::to_string(value));
        }
    }
    void SetBusyPointer(bool busy) override {
        busyPointer = busy;
        calls.push_back(busy ? "busy:on" : "busy:off");
    }

    void Notice(const std::string& text) override { calls.push_back("notice:" + text); }

    // The calls whose record starts with the prefix, the prefix taken off.
    [[nodiscard]] std::vector<std::string> Calls(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& call : calls) {
            if (call.rfind(prefix, 0) == 0) {
                found.push_back(call.substr(prefix.size()));
            }
        }
        return found;
    }
    [[nodiscard]] std::vector<std::string> Statuses() const { return Calls("status:"); }

    std::vector<std::string> calls;
    bool recordProgressValues = false;
    std::int64_t lastProgressValue = -1;
    std::int64_t progressValueCount = 0;
    bool busyPointer = false;
    int eventPasses = 0;
    // From this pass over events on (counted from 1), Cancel reads as pressed; 0: never.
    int cancelAtEventPass = 0;
    // Called after a status is recorded; lets a test act in the middle of a write.
    std::function<void(const std::string&)> onStatus;

  private:
    std::string info_;
};

}  // namespace velmora::test
