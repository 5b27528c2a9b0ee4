// The port's name on the strip, measured in the strip's font.
#include <QFont>
#include <QFontMetrics>

#include <cstdlib>

#include "display/ChartView.h"
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

}  // namespace display
