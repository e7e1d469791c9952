#pragma once
// The "Set period" menu of the filter windows: days, weeks, months, quarters, half-years and years
// around today.
#include <functional>

class QMenu;
class QString;

// Fills the menu; each item calls choose with its period name (as PeriodDates reads them).
void FillPeriodMenu(QMenu* menu, const std::function<void(const QString& item)>& choose);
