// Answers the modal dialogs and message boxes the window opens, as a person would.
#include "qt/modal_answer.h"

#include <QApplication>
#include <QDialog>
#include <algorithm>

namespace velmora::test {

namespace {

constexpr int kPollMilliseconds = 10;
constexpr int kGiveUpPolls = 500;

}  // namespace

ModalAnswer::ModalAnswer(Answer answer) : ModalAnswer(std::vector<Answer>{std::move(answer)}) {}

ModalAnswer::ModalAnswer(std::vector<Answer> answers) : answers_(std::move(answers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(kPollMilliseconds);
}

ModalAnswer::~ModalAnswer() {
    timer_.stop();
}

bool ModalAnswer::AlreadyAnswered(const QWidget* modal) const {
    return std::any_of(answered_.begin(), answered_.end(),
                       [modal](const QPointer<QWidget>& seen) { return seen == modal; });
}

void ModalAnswer::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        idlePolls_ = 0;
        return;
    }
    if (!AlreadyAnswered(modal) && next_ < answers_.size()) {
        answered_.emplace_back(modal);
        idlePolls_ = 0;
        // A timer does not fire again while its own handler runs, so an answer that opens
        // another modal (and waits in it) must not run inside this one.
        const std::size_t index = next_++;
        QPointer<QWidget> target(modal);
        QTimer::singleShot(0, &timer_, [this, index, target] {
            if (target != nullptr) {
                answers_[index](target);
            }
        });
        return;
    }
    if (++idlePolls_ > kGiveUpPolls) {
        idlePolls_ = 0;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }
}

}  // namespace velmora::test
