// m797-tester: the main window against a real or simulated ECU.
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

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
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // panels share their fonts
    QApplication application(argc, argv);

    // Ctrl+C and termination end the program as "Выход" does (open windows
    // close, outputs are released, the link is stopped and joined, the port
    // closed): the handler only writes a byte, the event loop does the rest.
    static int signalPipe[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto handler = [](int) { (void)!::write(signalPipe[0], "x", 1); };
        std::signal(SIGINT, handler);
        std::signal(SIGTERM, handler);
    }
    std::string lineError;
    std::unique_ptr<platform::SerialLine> line = app::makeLine(*options, lineError);
    if (!line) {
        std::cerr << "m797-tester: " << lineError << "\n";
        QMessageBox::critical(nullptr, QStringLiteral("Ошибка"), QString::fromStdString(lineError));
        return 2;
    }
    TForm1 form(*options, std::move(line));
    QSocketNotifier notifier(signalPipe[1], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&form] {
        if (form.showsNoticeOnly()) {
            QApplication::exit(130);
        } else {
            form.endProgram(130, false);
        }
    });
    if (!form.showsNoticeOnly()) form.show();
    return application.exec();
}
