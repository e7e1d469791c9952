#include "color_text.h"

namespace {
struct NamedColor {
    int bgr;
    const char* name;
    const char* display;
};
constexpr NamedColor kColors[] = {
    {0x000000, "Black", "Black"},
    {0x000080, "Maroon", "Maroon"},
    {0x008000, "Green", "Green"},
    {0x008080, "Olive", "Olive"},
    {0x800000, "Navy", "Navy"},
    {0x800080, "Purple", "Purple"},
    {0x808000, "Teal", "Teal"},
    {0x808080, "Gray", "Gray"},
    {0xC0C0C0, "Silver", "Silver"},
    {0x0000FF, "Red", "Red"},
    {0x00FF00, "Lime", "Lime"},
    {0x00FFFF, "Yellow", "Yellow"},
    {0xFF0000, "Blue", "Blue"},
    {0xFF00FF, "Fuchsia", "Fuchsia"},
    {0xFFFF00, "Aqua", "Aqua"},
    {0xFFFFFF, "White", "White"},
    {0xC0DCC0, "MoneyGreen", "Money Green"},
    {0xF0CAA6, "SkyBlue", "Sky Blue"},
    {0xF0FBFF, "Cream", "Cream"},
    {0xA4A0A0, "MedGray", "Med Gray"},
};
} // namespace

QString ColorToText(int bgr) {
    if (bgr == kNoColor) return QString();
    for (const NamedColor& c : kColors)
        if (c.bgr == bgr) return QString::fromLatin1(c.display);
    return QStringLiteral("$%1").arg(uint(bgr), 8, 16, QLatin1Char('0')).toUpper();
}

int TextToColor(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return kNoColor;
    for (const NamedColor& c : kColors)
        if (t.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0 ||
            t.compare(QLatin1String(c.display), Qt::CaseInsensitive) == 0)
            return c.bgr;
    bool ok = false;
    if (t.startsWith('$')) {
        // The colour's integer in hexadecimal, as written above.
        const uint v = t.mid(1).toUInt(&ok, 16);
        return ok ? int(v) : kNoColor;
    }
    const int v = t.toInt(&ok);
    return ok ? v : kNoColor;
}

QStringList ColorDisplayNames() {
    QStringList names;
    for (const NamedColor& c : kColors)
        names << QString::fromLatin1(c.display);
    return names;
}
