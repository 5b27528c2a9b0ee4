// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecu/Identification.h"

namespace ecu {
namespace {

// In the order of IdentificationReplies.
enum Source { kA1, kA2, kA3, kEcuId };

struct Field {
    Source source;
    std::size_t first;
    std::size_t length;
};

// ecuIdReply data begins at 12, the local-identifier replies' at 11.
constexpr std::array<Field, klink::kIdentTextCount> kFields = {{
    {kEcuId, 12, 17},
    {kEcuId, 29, 16},
    {kEcuId, 45, 10},
    {kEcuId, 55, 10},
    {kEcuId, 65, 15},
    {kEcuId, 80, 7},
    {kEcuId, 87, 10},
    {kEcuId, 97, 8},
    {kA2, 11, 7},
    {kA1, 11, 7},
    {kA3, 11, 10},
}};

}  // namespace

const std::array<const char*, klink::kIdentTextCount> kIdentCaptions = {
    "Модель автомобиля", "Серийный номер", "Код ЭБУ",   "Код программы", "Двигатель",        "Код запчастей",
    "Подготовка ПЗУ",    "Идентификатор",  "Двигатель", "Кузов",         "Дата изготовления"};

std::string identFieldName(std::size_t k) {
    // The car's passport begins after the unit's eight texts.
    return k == 8 ? std::string(kIdentCaptions[k]) + " (паспорт автомобиля)" : std::string(kIdentCaptions.at(k));
}

std::size_t identSourceReply(std::size_t k) { return kFields.at(k).source; }
std::size_t identLastPosition(std::size_t k) { return kFields.at(k).first + kFields.at(k).length - 1; }

std::array<std::string, klink::kIdentTextCount> buildIdentTexts(const klink::IdentificationReplies& r) {
    std::array<std::string, klink::kIdentTextCount> texts;
    for (std::size_t k = 0; k < kFields.size(); ++k) {
        const Field& f = kFields[k];
        const klink::ReplyView& v = f.source == kEcuId ? r.ecuId
                                    : f.source == kA1  ? r.a1
                                    : f.source == kA2  ? r.a2
                                                       : r.a3;
        for (std::size_t p = f.first; p < f.first + f.length; ++p)
            texts[k].push_back(static_cast<char>(p < v.size ? v.data[p] : 0));
    }
    return texts;
}

}  // namespace ecu
