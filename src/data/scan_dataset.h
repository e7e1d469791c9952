#pragma once
// Walks every record of a dataset under the hourglass cursor and restores what it changed, also
// after a failure: the position (by bookmark), the controls and the scroll events.
#include <functional>

class TDataSet;

// callback(recNo from 1, stop); returns true unless the callback stopped (also for a missing dataset).
bool ScanDataset(TDataSet* ds, bool disableControls, bool detachScrollEvents, bool restorePosition,
                 const std::function<void(int recNo, bool& stop)>& callback);
