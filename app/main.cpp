// m797-tester: the main window against a real or simulated ECU.
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iostream>

#include "app/TForm1.h"

int main(int argc, char** argv) {
    std::string error;
    const auto options = app::parseTesterArgs(argc, argv, error);
    if (!options) {
        std::cerr << "m797-tester: " << error << "\n" << app::testerUsage();
        return 2;
    }
    if (options->help) {
        std::cout << app::testerUsage();
        return 0;
    }
    if (options->version) {
        std::cout << "m797-tester " M797_VERSION "\n";
        return 0;
    }
    // Ctrl+C, termination and a closed terminal (hang-up) end the program
    // as "Выход" does (open windows close, outputs are released, the link is
    // stopped and joined, the port closed): the handler only writes a byte;
    // whichever event loop runs then (the main one, or a box's) reads it and
    // ends every loop. A request that arrives before the main loop would run
    // is kept, and the main loop is not started.
    static int signalPipe[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        struct sigaction action {};
        action.sa_handler = [](int) {
            const int saved = errno;
            (void)!::write(signalPipe[0], "x", 1);
            errno = saved;
        };
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // panels share their fonts
    QApplication application(argc, argv);

    constexpr int kSignalledExit = 130;
    int endAsked = -1;  // the exit status once an end was asked
    TForm1* form = nullptr;
    QSocketNotifier notifier(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char drain[64];
        while (::read(signalPipe[1], drain, sizeof drain) > 0) {
        }
        if (endAsked >= 0) return;
        endAsked = kSignalledExit;
        if (form && !form->showsNoticeOnly()) {
            form->endProgram(kSignalledExit);
        } else {
            QApplication::exit(kSignalledExit);
        }
    });
    notifier.setEnabled(signalPipe[1] >= 0);

    // A recording that is a pipe may keep the reading waiting: a signal ends it.
    lines::MadeLine line = app::makeLine(*options, [&] {
        QCoreApplication::processEvents();
        return endAsked >= 0;
    });
    if (!line.line && line.error.empty()) return endAsked >= 0 ? endAsked : 2;
    if (!line.line) {
        std::cerr << "m797-tester: " << line.error << "\n";
        QMessageBox::critical(nullptr, QStringLiteral("Ошибка"), QString::fromStdString(line.error));
        return endAsked >= 0 ? endAsked : 2;
    }
    TForm1 window(*options, std::move(line));
    form = &window;
    if (endAsked >= 0) {  // asked during a box the window's making raised
        window.endProgram(endAsked);
        return endAsked;
    }
    if (!window.showsNoticeOnly()) window.show();
    if (endAsked >= 0) return endAsked;  // asked during a box of the first show: ended there
    return application.exec();
}
