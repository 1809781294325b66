// Answers the modal dialogs and message boxes the window opens, as a person would.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace velmora::test {

// Watches for modal widgets: each new one is handed to the next answer, which must close it
// (click a button, accept, reject) or open the next (a Save dialog's overwrite question).
// An answer runs outside the watching timer, so a modal it opens is seen too. A modal still
// open five seconds after the last answer is rejected, so a wrong answer fails a test
// instead of hanging it.
class ModalAnswer {
  public:
    using Answer = std::function<void(QWidget*)>;

    explicit ModalAnswer(Answer answer);
    explicit ModalAnswer(std::vector<Answer> answers);
    ~ModalAnswer();
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;

    // Every answer was handed a modal.
    [[nodiscard]] bool Answered() const { return next_ == answers_.size(); }

  private:
    void Poll();
    [[nodiscard]] bool AlreadyAnswered(const QWidget* modal) const;

    std::vector<Answer> answers_;
    std::size_t next_ = 0;
    std::vector<QPointer<QWidget>> answered_;
    QTimer timer_;
    int idlePolls_ = 0;
};

}  // namespace velmora::test
