// SPDX-License-Identifier: GPL-3.0-or-later
// The report of a drive for the technician and the customer: one HTML file
// in Russian with nothing outside it (its styles and charts inline), that
// prints on A4. The car and the ECU, the drive, a line for each check, then
// each check with a chart of its values over the drive (its limits shaded,
// its evidence marked), its figures and what to check next; the error codes
// read, the actions taken, and a field for the technician's notes.
#pragma once

#include <string>

#include "diagnosis/Drive.h"
#include "diagnosis/Report.h"

namespace diagnosis {

std::string reportHtml(const ReportInput& r, const Drive& d);

// The Russian title of a check ("Зарядка" for "charging"); the id itself for
// one the report does not know.
std::string checkTitle(const std::string& id);

}  // namespace diagnosis
