#pragma once
// What an export or report does with its result file.
#include <QString>

enum TActionAfter { aaNone, aaShow, aaPrint };

// The kind of source an export engine or print window is given; this program passes grids.
enum TSourceType { stGrid, stDataset, stRecView, stTreeView, stStringGrid };

// Colours are 32-bit values in BGR order; this value means "no colour".
constexpr quint32 clNoColor = 0x1FFFFFFF;
