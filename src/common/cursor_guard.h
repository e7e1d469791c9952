#pragma once
// The hourglass cursor for the lifetime of the guard; nests, and does nothing without a GUI.
class HourglassCursor {
public:
    HourglassCursor();
    ~HourglassCursor();
    HourglassCursor(const HourglassCursor&) = delete;
    HourglassCursor& operator=(const HourglassCursor&) = delete;

private:
    bool active_ = false;
};
