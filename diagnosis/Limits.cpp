// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnosis/Limits.h"

#include <cstdio>
#include <cstdlib>

namespace diagnosis {

namespace {

// The repair manuals' mirrors are the public copies of AvtoVAZ's manuals for
// these cars; where no source for this engine family was found, the row
// says whose figures it takes and why they carry over, or that the figure
// is this program's own rule for having enough data.
const char* const kPrioraAlternator =
    "LADA Priora, руководство по ремонту, 10.4.1 «Особенности конструкции» (генератор 5102.3771): "
    "vaz-priora.ru/10-4-1-osobennosti-konstrukcii.html";
const char* const kKalinaAlternator =
    "LADA Kalina, руководство по ремонту, «Генератор: особенности конструкции» (5132.3771, 9402.3701-06): "
    "rim3.ru/auto/brands/vaz/lada-kalina/elektrooborudovanie-4281/generator-osobennosti-konstruktsii";
const char* const kKalinaCooling =
    "LADA Kalina 1118, руководство по ремонту, «Особенности конструкции системы охлаждения двигателя»: "
    "ladaman.ru/ua/Kalina/1118/power/cooling/osobennosti-konstrukcii-sistemy-ohlazhdeniya-dvigatelya";
const char* const kOwnRule = "правило этой программы о достаточности данных";
const char* const kOwnJudgement = "правило этой программы (источника для этих двигателей не найдено)";

const std::vector<Limit> kLimits = {
    {"charging-seconds", 30, "с",
     "Столько работы двигателя нужно, чтобы регулятор генератора вышел на режим и средняя величина "
     "напряжения опиралась на сотню с лишним циклов опроса.",
     kOwnRule},
    {"ub-running-low", 13.5, "В",
     "Регулятор генератора Priora держит 13,8–14,4 В; 0,3 В ниже — на падение в проводке и нагрузку на "
     "холостом ходу. Ниже этого батарея недозаряжается.",
     kPrioraAlternator},
    {"ub-running-high", 14.8, "В",
     "Верхний край регулируемого напряжения генераторов Priora (14,4 В) с запасом до предела генераторов "
     "Kalina (15,1 В): выше — перезаряд, выкипание электролита.",
     kPrioraAlternator},
    {"ub-running-fault-low", 13.0, "В",
     "Заряженная батарея без нагрузки даёт 12,6–12,8 В; при среднем ниже 13,0 В на работающем двигателе "
     "заряда почти нет — батарея разряжается.",
     "свойства свинцово-кислотной батареи: ЭДС заряженной 12,6–12,8 В"},
    {"ub-running-fault-high", 15.1, "В", "Верхний предел регулируемого напряжения генераторов Kalina.",
     kKalinaAlternator},
    {"coolant-operating", 83, "°C",
     "Термостат начинает открываться при 85 ± 2 °C: с нижней точки его открытия двигатель прогрет.", kKalinaCooling},
    {"coolant-overheat", 110, "°C",
     "Термостат полностью открыт при 102 °C, а по руководству ВАЗ-2115 (приложение 3) жидкость не выше "
     "95 °C при полной нагрузке и 80 км/ч в жару 20–30 °C. Официального порога перегрева не найдено: выше "
     "110 °C система охлаждения уже не справляется с тем, что должна держать.",
     "LADA Kalina, руководство по ремонту (термостат), и ВАЗ-2115, руководство, приложение 3: "
     "automn.ru/vaz-2115/vaz-34344-10.m_id-4394.html"},
    {"warm-up-plateau-minutes", 20, "мин",
     "Данных ВАЗ о времени прогрева не найдено; контроль термостата у других производителей (код P0128) "
     "ждёт 74–77 °C за 10–38 минут по температуре пуска и езде. 20 минут работы без рабочей температуры — "
     "повод подозревать термостат, если температура уже не растёт.",
     "Mitsubishi, P0128 (mitsubishitechinfo.com); Kia, P0128 (gds-manuals.ru) — аналог, не данные ВАЗ"},
    {"warm-up-rise", 2, "°C за 5 мин",
     "Двигатель, который ещё греется (зимой на холостом ходу), прибавляет больше; меньший рост — "
     "температура встала.",
     kOwnJudgement},
    {"cold-start", 30, "°C",
     "Программа не знает, сколько двигатель стоял: жидкость ниже 30 °C в первом цикле опроса принимается "
     "за остывший двигатель. Поэтому сравнение датчиков осторожно (см. пределы расхождения).",
     kOwnJudgement},
    {"sensors-agree", 5, "°C",
     "После долгой стоянки оба датчика показывают температуру воздуха; у производителей с таким контролем "
     "допуск 9–20 °C после 7–8 ч, более 5 °C — повод проверить датчики термометром.",
     "Saturn Sky 2.0, DTC P2199; Saturn Outlook 3.6, P0112/P0113 (lemon-manuals); Toyota 2ZR-FE, P011B — "
     "аналог, не данные ВАЗ"},
    {"sensors-disagree", 15, "°C",
     "Расхождение больше, чем допускает GM для 3,6 л после 8 ч стоянки: один из датчиков врёт (или двигатель "
     "не успел остыть).",
     "Saturn Outlook 3.6, P0112/P0113 (lemon-manuals) — аналог, не данные ВАЗ"},
    {"idle-seconds", 20, "с",
     "Столько прогретого холостого хода нужно для среднего и разброса оборотов (около 80 циклов опроса).", kOwnRule},
    {"idle-offset", 50, "об/мин",
     "Руководство ВАЗ-2115 даёт минимальные обороты 800–900 об/мин: ±50 об/мин вокруг середины. Контроллер "
     "держит заданные обороты; отход дальше — регулятор не справляется.",
     "ВАЗ-2115, руководство, приложение 3: automn.ru/vaz-2115/vaz-34344-10.m_id-4394.html"},
    {"idle-offset-fault", 100, "об/мин",
     "Вдвое больше допуска: регулирование холостого хода не работает (подсос, заклинивший РХХ, грязный "
     "дроссель).",
     "ВАЗ-2115, руководство, приложение 3 (допуск ±50 об/мин), удвоенный"},
    {"idle-spread", 50, "об/мин",
     "Обороты даются с шагом 40 об/мин: ровный холостой ход колеблется на шаг-другой; разброс (стандартное "
     "отклонение) больше 50 об/мин — двигатель работает неровно.",
     kOwnJudgement},
    {"misfires", 0, "пропусков",
     "Исправный двигатель не пропускает воспламенение: любой рост счётчика цилиндра — повод искать причину; "
     "рост счётчика пропусков, опасных для нейтрализатора (ЭБУ считает их по каждым 200 оборотам), — "
     "неисправность: несгоревшее топливо перегревает нейтрализатор.",
     "Volvo, ECM, «Misfire Counter Emissions Impact», «Catalytic converter damage» (lemon-manuals) — "
     "аналог системы Bosch, не данные ВАЗ"},
};

}  // namespace

const std::vector<Limit>& limits() { return kLimits; }

const Limit& limit(std::string_view id) {
    for (const Limit& l : kLimits)
        if (id == l.id) return l;
    std::fprintf(stderr, "diagnosis: no limit named %.*s\n", static_cast<int>(id.size()), id.data());
    std::abort();
}

}  // namespace diagnosis
