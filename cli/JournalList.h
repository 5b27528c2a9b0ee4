// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of visits printed for people and scripts (--journal-list).
#pragma once

#include <ostream>
#include <string>

#include "journal/Journal.h"

namespace cli {

// The journal at path as three tab-separated tables (cars, visits, actions),
// each with its header line, after closing the visits of programs no longer
// running; 0, or 1 with why on err when it cannot be read.
int printJournal(std::ostream& out, std::ostream& err, const std::string& path = journal::defaultPath());

}  // namespace cli
