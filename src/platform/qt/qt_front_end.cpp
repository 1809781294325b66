// The Qt desktop front end: the application object and the window, created hidden.
#include "platform/qt/qt_front_end.h"

#include <QApplication>
#include <QGuiApplication>
#include <array>

#include "platform/qt/app_icon.h"
#include "platform/qt/qt_main_view.h"

namespace velmora {

namespace {

class QtFrontEnd final : public FrontEnd {
  public:
    explicit QtFrontEnd(char* programName) : qtArgv_{programName, nullptr} {
        if (QApplication::instance() == nullptr) {
            application_ = std::make_unique<QApplication>(qtArgc_, qtArgv_.data());
        }
        QApplication::setApplicationName(QStringLiteral("Velmora"));
        // Lets the desktop match the window with its desktop file and icon.
        QGuiApplication::setDesktopFileName(QStringLiteral("org.velmora.Velmora"));
        QApplication::setWindowIcon(MakeAppIcon());
        view_ = std::make_unique<QtMainView>();
    }

    ~QtFrontEnd() override {
        // The window must go before the application object it lives in.
        view_.reset();
        application_.reset();
    }

    QtFrontEnd(const QtFrontEnd&) = delete;
    QtFrontEnd& operator=(const QtFrontEnd&) = delete;

    bool HasWindow() const override { return true; }
    MainView& View() override { return *view_; }

    void Attach(MainWindow& logic, std::function<void()> onClose) override {
        view_->Attach(logic, std::move(onClose));
    }

    void RunEventLoop() override {
        // A close asked for during a batch write is carried out now; a window that is not
        // on screen has no loop to run.
        if (view_->CloseIfAsked()) {
            return;
        }
        QApplication::exec();
    }

  private:
    int qtArgc_ = 1;
    std::array<char*, 2> qtArgv_;
    std::unique_ptr<QApplication> application_;
    std::unique_ptr<QtMainView> view_;
};

}  // namespace

std::unique_ptr<FrontEnd> MakeQtFrontEnd(int& argc, char** argv) {
    static char fallbackName[] = "velmora";
    char* programName = argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : fallbackName;
    return std::make_unique<QtFrontEnd>(programName);
}

}  // namespace velmora
