// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/StatusTexts.h"

#include "platform/Cp1251.h"

namespace klink::status {

#define M797_TEXT(name, literal)                                \
    const std::string& name() {                                 \
        static const std::string t = cp1251::fromUtf8(literal); \
        return t;                                               \
    }

M797_TEXT(portOpenFailed, "Ошибка открытия порта!")
M797_TEXT(connecting, "Установление связи.")
M797_TEXT(checkAdapter, "Проверте адаптер!")
M797_TEXT(noAnswer, "Нет ответа.")
M797_TEXT(ecuNotAnswering, "Контроллер не отвечает.")
M797_TEXT(adapterMissing, "Адаптер не подключен!")
M797_TEXT(dataReceived, "Данные получены.")
M797_TEXT(stateOn, "ВКЛ")
M797_TEXT(stateOff, "ВЫКЛ")
M797_TEXT(stopEngine, "Заглушите двигатель")

#undef M797_TEXT

}  // namespace klink::status
