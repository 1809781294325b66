// The in-memory window: values kept, message boxes printed, dialogs cancelled.
#include "platform/headless/headless_view.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

namespace velmora {

namespace {

std::vector<std::string> SplitLabels(const std::string& buttons) {
    std::vector<std::string> labels;
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = buttons.find('|', start);
        labels.push_back(buttons.substr(start, bar - start));
        if (bar == std::string::npos) {
            return labels;
        }
        start = bar + 1;
    }
}

}  // namespace

int DefaultAnswer(const std::string& buttons, int defaultButton) {
    const auto count = static_cast<int>(SplitLabels(buttons).size());
    return defaultButton >= 1 && defaultButton <= count ? defaultButton : 1;
}

std::string MessageLine(const std::string& text, const std::string& buttons, int defaultButton) {
    std::string line = "velmora: ";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            // "\r\n" is one break, written as one blank.
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            line += ' ';
        } else {
            line += text[i];
        }
    }
    const std::vector<std::string> labels = SplitLabels(buttons);
    if (labels.size() > 1) {
        const int answer = DefaultAnswer(buttons, defaultButton);
        line += " [" + labels[static_cast<std::size_t>(answer - 1)] + "]";
    }
    return line;
}

std::string TerminalText(const std::string& infoText) {
    std::string text;
    text.reserve(infoText.size() + 1);
    for (std::size_t i = 0; i < infoText.size(); ++i) {
        if (infoText[i] == '\r' && i + 1 < infoText.size() && infoText[i + 1] == '\n') {
            continue;
        }
        text += infoText[i];
    }
    if (!text.empty() && text.back() != '\n') {
        text += '\n';
    }
    return text;
}

std::string HeadlessView::Text(TextBox box) const {
    return texts_[static_cast<std::size_t>(box)];
}

void HeadlessView::SetText(TextBox box, const std::string& text) {
    texts_[static_cast<std::size_t>(box)] = text;
}

int HeadlessView::ShowMessage(MessageIcon /*icon*/, const std::string& text,
                              const std::string& buttons, int defaultButton) {
    // Flushed at once, so the line stands in order with anything else the program prints.
    messages_ << MessageLine(text, buttons, defaultButton) << std::endl;
    return DefaultAnswer(buttons, defaultButton);
}

void HeadlessView::ShowNotice(const std::string& text) {
    messages_ << text << std::endl;
}

bool HeadlessView::PublishReport(const std::string& text) {
    return Print(text);
}

bool HeadlessView::PrintInformation() {
    if (printed_) {
        return !printFailed_;
    }
    return Print(Text(TextBox::ed_Info));
}

bool HeadlessView::Print(const std::string& text) {
    if (report_ == nullptr) {
        return true;
    }
    printed_ = true;
    errno = 0;
    *report_ << TerminalText(text);
    report_->flush();
    if (!report_->fail()) {
        return true;
    }
    // The stream keeps no reason of its own; the system's is still in errno right after.
    const int error = errno;
    printFailed_ = true;
    ShowMessage(MessageIcon::Stop,
                std::string("The report could not be written to standard output: ") +
                    (error != 0 ? std::strerror(error) : "unknown error") + ".",
                "OK", 1);
    return false;
}

std::optional<std::string> HeadlessView::ShowOpenDialog(const FileDialogConfig& /*config*/) {
    return std::nullopt;
}

std::optional<std::string> HeadlessView::ShowSaveDialog(const FileDialogConfig& /*config*/) {
    return std::nullopt;
}

}  // namespace velmora
