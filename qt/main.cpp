// SPDX-License-Identifier: GPL-3.0-or-later
// m797-tester: the main window against a real or simulated ECU.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSocketNotifier>

#include <memory>

#include "logic/TesterStart.h"
#include "qt/ChildWindow.h"
#include "qt/MainWindow.h"
#include "qt/WindowRules.h"

namespace {

class QtTester : public logic::TesterFace {
public:
    QtTester(int& argc, char** argv) : argc_(argc), argv_(argv) {}

    void prepare(platform::StopSignals& stop) override {
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // panels share their fonts
        application_ = std::make_unique<QApplication>(argc_, argv_);
        qtface::speakRussian();
        // A stop request wakes whichever event loop runs then (the main one,
        // or a box's), which ends every loop.
        notifier_ = std::make_unique<QSocketNotifier>(stop.notifyFd(), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this, &stop] {
            stop.drain();
            if (endAsked_) return;
            endAsked_ = true;
            if (form_)
                form_->endProgram(logic::kExitSignalled);
            else
                QApplication::exit(logic::kExitSignalled);
        });
        notifier_->setEnabled(stop.notifyFd() >= 0);
    }

    void errorBox(const std::string& text) override {
        QMessageBox::critical(nullptr, QString::fromUtf8(logic::ui::kErrorTitle), QString::fromStdString(text));
    }

    int screenWidth() override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->geometry().width() : logic::ui::mainWindow().width;
    }

    int runNotice(std::unique_ptr<logic::ui::WindowLogic> notice, platform::StopSignals& stop) override {
        auto* w = new qtface::ChildWindow(std::move(notice));
        w->onClosed = [] { QApplication::exit(0); };
        qtface::centreOnScreen(w);
        w->show();
        return stop.asked() ? logic::kExitSignalled : QApplication::exec();
    }

    int runWindow(const logic::TesterOptions& options, lines::MadeLine line, platform::StopSignals& stop) override {
        qtface::MainWindow window(options, std::move(line));
        form_ = &window;
        const int status = run(window, stop);
        form_ = nullptr;
        return status;
    }

private:
    static int run(qtface::MainWindow& window, platform::StopSignals& stop) {
        // Asked before the main loop (during a box the window's making or
        // its first showing raised, or earlier): the main loop never starts.
        if (stop.asked()) {
            window.endProgram(logic::kExitSignalled);
            return logic::kExitSignalled;
        }
        window.show();
        if (stop.asked()) {
            window.endProgram(logic::kExitSignalled);  // once: ended already if a box's loop saw it
            return logic::kExitSignalled;
        }
        return QApplication::exec();
    }

    int& argc_;
    char** argv_;
    std::unique_ptr<QApplication> application_;
    std::unique_ptr<QSocketNotifier> notifier_;
    qtface::MainWindow* form_ = nullptr;
    bool endAsked_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QtTester face(argc, argv);
    return logic::runTester(std::vector<std::string>(argv, argv + argc), face);
}
