#include "scan_dataset.h"

#include "cursor_guard.h"
#include "dataset.h"

bool ScanDataset(TDataSet* ds, bool disableControls, bool detachScrollEvents, bool restorePosition,
                 const std::function<void(int recNo, bool& stop)>& callback) {
    if (!ds) return true;
    HourglassCursor cursor;
    TBookmark bm = ds->GetBookmark();
    if (disableControls) ds->DisableControls();
    std::function<void(TDataSet&)> before, after;
    if (detachScrollEvents) {
        std::swap(before, ds->BeforeScroll);
        std::swap(after, ds->AfterScroll);
    }
    auto restore = [&] {
        if (restorePosition && ds->BookmarkValid(bm)) ds->GotoBookmark(bm);
        if (detachScrollEvents) {
            ds->BeforeScroll = std::move(before);
            ds->AfterScroll = std::move(after);
        }
        if (disableControls) ds->EnableControls();
    };
    bool stop = false;
    try {
        ds->First();
        int recNo = 0;
        while (!ds->Eof()) {
            callback(++recNo, stop);
            if (stop) break;
            ds->Next();
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
    return !stop;
}
