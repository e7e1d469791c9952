#pragma once
// The bounds saver: a control's (or window's) rectangle in the section key + "_XY" as "Left", "Right",
// "Top" and "Bottom", optionally kept inside a limit rectangle.
#include "custom_prop_save.h"

#include <QRect>

// A rectangle by its edges; Right and Bottom lie one past the last pixel (Left + width).
struct TBounds {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    static TBounds FromRect(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }
    QRect ToRect() const { return QRect(Left, Top, Right - Left, Bottom - Top); }
    bool operator==(const TBounds&) const = default;
};

struct TLimitRect {
    TBounds Rect;
    int MinWidthHeight = 30;
};

// Moves b left or up by what it extends past the limit's right or bottom edge, then raises its left and
// top to the limit's, lowers its right and bottom to the limit's, and finally raises its width and
// height to the minimum.
TBounds LimitBounds(TBounds b, const TLimitRect& limit);

// The desktop: all monitors together (empty without a screen).
QRect DesktopRect();

class TPositionPropSave : public TCustomPropSave {
    Q_OBJECT
public:
    using TCustomPropSave::TCustomPropSave;

    bool LimitToRect = false;
    TLimitRect LimitRect;

    void ProcessComponent(TPropSaveAction action, TPropSaveFile& store, QObject* component,
                          const QString& key) override;
    bool CanSave(QObject* component) const override;
    QString SectionOf(const QString& key) const override { return key + QStringLiteral("_XY"); }

    // The stored rectangle (current where a key is missing), limited when LimitToRect is on.
    TBounds ReadBounds(TPropSaveFile& store, const QString& section, const TBounds& current) const;
    static void WriteBounds(TPropSaveFile& store, const QString& section, const TBounds& bounds);
    static void DeleteBounds(TPropSaveFile& store, const QString& section);
};
