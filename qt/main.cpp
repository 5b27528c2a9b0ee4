// SPDX-License-Identifier: GPL-3.0-or-later
// m797-tester: the main window against a real or simulated ECU.
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <iostream>

#include "platform/Messages.h"
#include "platform/StopSignals.h"
#include "qt/MainWindow.h"

int main(int argc, char** argv) {
    std::string error;
    const auto options = logic::parseTesterArgs(argc, argv, error);
    if (!options) {
        std::cerr << "m797-tester: " << platform::forTerminal(error) << "\n"
                  << platform::forTerminal(logic::testerUsage());
        return 2;
    }
    if (options->help) {
        std::cout << platform::forTerminal(logic::testerUsage());
        return 0;
    }
    if (options->version) {
        std::cout << "m797-tester " M797_VERSION "\n";
        return 0;
    }
    // Ctrl+C, termination and a closed terminal (hang-up) end the program
    // as "Выход" does (open windows close, outputs are released, the link is
    // stopped and joined, the port closed), as they end the logger: the
    // request wakes whichever event loop runs then (the main one, or a
    // box's), which ends every loop. A request that arrives before the main
    // loop would run is kept, and the main loop is not started.
    platform::StopSignals stopSignals;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // panels share their fonts
    QApplication application(argc, argv);

    constexpr int kSignalledExit = 130;
    int endAsked = -1;  // the exit status once an end was asked
    qtface::MainWindow* form = nullptr;
    QSocketNotifier notifier(stopSignals.notifyFd(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        stopSignals.drain();
        if (endAsked >= 0) return;
        endAsked = kSignalledExit;
        if (form && !form->showsNoticeOnly()) {
            form->endProgram(kSignalledExit);
        } else {
            QApplication::exit(kSignalledExit);
        }
    });
    notifier.setEnabled(stopSignals.notifyFd() >= 0);

    // A recording that is a pipe may keep the reading waiting: a signal ends it.
    lines::MadeLine line = logic::makeLine(*options, [&stopSignals] { return stopSignals.asked(); });
    if (!line.line && line.error.empty()) return kSignalledExit;
    if (!line.line) {
        std::cerr << "m797-tester: " << platform::forTerminal(line.error) << "\n";
        QMessageBox::critical(nullptr, QString::fromUtf8(logic::ui::kErrorTitle),
                              QString::fromStdString(platform::forWindow(line.error)));
        return endAsked >= 0 ? endAsked : 2;
    }
    qtface::MainWindow window(*options, std::move(line));
    form = &window;
    // Asked before the main loop (during a box the window's making or its
    // first showing raised, or earlier): the main loop never starts.
    if (stopSignals.asked()) {
        window.endProgram(kSignalledExit);
        return kSignalledExit;
    }
    if (!window.showsNoticeOnly()) window.show();
    if (stopSignals.asked()) {
        window.endProgram(kSignalledExit);  // once: ended already if a box's loop saw it
        return kSignalledExit;
    }
    return application.exec();
}
