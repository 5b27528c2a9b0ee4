// SPDX-License-Identifier: GPL-3.0-or-later
// The ten 21 x 21 status pictures of the error-codes window.
#pragma once

#include <QPixmap>

#include "ecu/DtcTable.h"

namespace qtface {

// A null pixmap for DtcPicture::None.
QPixmap statusPicture(ecu::DtcPicture picture);

}  // namespace qtface
