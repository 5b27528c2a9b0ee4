// m797-tester: the main window against a real or simulated ECU.
#include <QApplication>

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
    QApplication application(argc, argv);
    TForm1 form(*options);
    if (!form.showsNoticeOnly()) form.show();
    return application.exec();
}
