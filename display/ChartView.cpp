#include "display/ChartView.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QFont>
#include <QFontMetrics>

#include <cstdlib>

#include "display/glpanel/TOpenGLPanel.h"
#include "platform/Cp1251.h"

namespace display {

std::string portLabel(const std::string& device) {
    // A by-id link names the device it points at.
    std::string name = device;
    if (char* real = ::realpath(device.c_str(), nullptr)) {
        name = real;
        std::free(real);
    }
    const auto slash = name.find_last_of('/');
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    auto numbered = [&base](const std::string& prefix) {
        return base.size() > prefix.size() && base.size() <= prefix.size() + 3 && base.rfind(prefix, 0) == 0 &&
               base.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
    };
    if (numbered("ttyS")) return "Com" + std::to_string(std::stoi(base.substr(4)) + 1);
    if (numbered("ttyUSB") || numbered("ttyACM")) base = base.substr(3);
    // Whatever is left must stay inside the frame: cut it with an ellipsis.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const QString text = metrics.elidedText(QString::fromStdString(base), Qt::ElideRight, kPortNameRoom);
    return cp1251::fromUtf8(text.toStdString());
}

void initChartView(glpanel::TOpenGLPanel* panel) {
    const int w = panel->deviceWidth();
    const int h = panel->deviceHeight();
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (h == 0) {
        gluPerspective(45, w, 1, 2000);
    } else {
        gluPerspective(20, static_cast<double>(w) / h, 1, 2000);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

}  // namespace display
