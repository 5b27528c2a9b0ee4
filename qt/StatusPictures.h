// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures made of the logic's shapes: the ten 21 x 21 status pictures of the
// error-codes window, and the windows' drawings.
#pragma once

#include <QPixmap>

#include <vector>

#include "ecu/DtcTable.h"
#include "logic/StatusPictures.h"

namespace qtface {

// The shapes on a transparent picture of this size; a null one for none.
QPixmap drawn(const std::vector<logic::ui::Shape>& shapes, int width, int height);

// A null pixmap for DtcPicture::None.
inline QPixmap statusPicture(ecu::DtcPicture picture) {
    return drawn(logic::ui::statusPicture(picture), logic::ui::kStatusPictureGrid, logic::ui::kStatusPictureGrid);
}

}  // namespace qtface
