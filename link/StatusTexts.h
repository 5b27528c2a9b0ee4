// SPDX-License-Identifier: GPL-3.0-or-later
// The link's status texts, as the status line shows them (code page 1251).
#pragma once

#include <string>

namespace klink::status {

const std::string& portOpenFailed();   // "Ошибка открытия порта!"
const std::string& connecting();       // "Установление связи."
const std::string& checkAdapter();     // "Проверте адаптер!"
const std::string& noAnswer();         // "Нет ответа."
const std::string& ecuNotAnswering();  // "Контроллер не отвечает."
const std::string& adapterMissing();   // "Адаптер не подключен!"
const std::string& dataReceived();     // "Данные получены."
const std::string& stateOn();          // "ВКЛ"
const std::string& stateOff();         // "ВЫКЛ"
const std::string& stopEngine();       // "Заглушите двигатель"

}  // namespace klink::status
