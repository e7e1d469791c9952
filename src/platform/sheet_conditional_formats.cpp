#include "sheet_conditional_formats.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace {
const char kXmNamespace[] = "http://schemas.microsoft.com/office/excel/2006/main";

// The prefix of an element's name with its colon ("x:"), or empty.
std::string PrefixOf(pugi::xml_node n) {
    const std::string_view name = n.name();
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
}

pugi::xml_node Add(pugi::xml_node parent, const std::string& prefix, const char* local) {
    return parent.append_child((prefix + local).c_str());
}

std::string Number(double v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::string Argb(uint32_t rgb) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "FF%06X", unsigned(rgb & 0xFFFFFF));
    return buf;
}

void Cfvo(pugi::xml_node parent, const std::string& x, const char* type, const std::string& value = {}) {
    pugi::xml_node c = Add(parent, x, "cfvo");
    c.append_attribute("type").set_value(type);
    if (!value.empty()) c.append_attribute("val").set_value(value.c_str());
}

void Color(pugi::xml_node parent, const std::string& x, const char* local, uint32_t rgb) {
    Add(parent, x, local).append_attribute("rgb").set_value(Argb(rgb).c_str());
}

uint32_t Or(uint32_t color, uint32_t otherwise) {
    return color == CellFormat::kNoColor ? otherwise : color;
}

// The first icon from the lowest value on, each later one from its threshold or its percent step.
void IconSteps(pugi::xml_node iconSet, const std::string& x, const ConditionalFormat& f) {
    const int icons = f.icons();
    Cfvo(iconSet, x, "percent", "0");
    for (int i = 1; i < icons; ++i) {
        if (size_t(i - 1) < f.thresholds.size())
            Cfvo(iconSet, x, "num", Number(f.thresholds[size_t(i - 1)]));
        else
            Cfvo(iconSet, x, "percent", Number(std::round(100.0 * i / icons)));
    }
}
} // namespace

const char* ConditionalFormat::IconSetName(int number) {
    static const char* const kNames[] = {
        "3Arrows",        "3ArrowsGray", "3Flags",      "3TrafficLights1", "3TrafficLights2", "3Signs",
        "3Symbols",       "3Symbols2",   "4Arrows",     "4ArrowsGray",     "4RedToBlack",     "4Rating",
        "4TrafficLights", "5Arrows",     "5ArrowsGray", "5Rating",         "5Quarters"};
    return number >= 1 && number <= int(std::size(kNames)) ? kNames[number - 1] : nullptr;
}

std::string CellRange(const ConditionalFormat& f) {
    const std::string col = SheetWriter::ColumnName(f.col);
    return col + std::to_string(f.firstRow + 1) + ":" + col + std::to_string(f.lastRow + 1);
}

void FillConditionalFormat(pugi::xml_node formatting, const ConditionalFormat& f, int priority,
                           const std::string& guid) {
    const std::string x = PrefixOf(formatting);
    formatting.append_attribute("sqref").set_value(CellRange(f).c_str());
    pugi::xml_node rule = Add(formatting, x, "cfRule");
    rule.append_attribute("type").set_value(f.kind == ConditionalFormat::DataBar      ? "dataBar"
                                            : f.kind == ConditionalFormat::ColorScale ? "colorScale"
                                                                                      : "iconSet");
    rule.append_attribute("priority").set_value(priority);
    switch (f.kind) {
    case ConditionalFormat::DataBar: {
        pugi::xml_node bar = Add(rule, x, "dataBar");
        if (!f.showValue) bar.append_attribute("showValue").set_value("0");
        if (f.atNumbers) {
            Cfvo(bar, x, "num", Number(f.min));
            Cfvo(bar, x, "num", Number(f.max));
        } else {
            Cfvo(bar, x, "min", "0");
            Cfvo(bar, x, "max", "0");
        }
        Color(bar, x, "color", Or(f.barColor, kDefaultBarColor));
        if (f.borderColor != CellFormat::kNoColor) {
            pugi::xml_node ext = Add(Add(rule, x, "extLst"), x, "ext");
            ext.append_attribute("xmlns:x14").set_value(kX14Namespace);
            ext.append_attribute("uri").set_value(kRuleExtensionUri);
            ext.append_child("x14:id").text().set(guid.c_str());
        }
        break;
    }
    case ConditionalFormat::ColorScale: {
        pugi::xml_node scale = Add(rule, x, "colorScale");
        const uint32_t* usual = kDefaultScaleColors[f.middleStop ? 1 : 0];
        if (f.atNumbers) {
            Cfvo(scale, x, "num", Number(f.min));
            if (f.middleStop) Cfvo(scale, x, "num", Number(f.mid));
            Cfvo(scale, x, "num", Number(f.max));
        } else {
            Cfvo(scale, x, "min", "0");
            if (f.middleStop) Cfvo(scale, x, "percentile", "50");
            Cfvo(scale, x, "max", "0");
        }
        Color(scale, x, "color", Or(f.minColor, usual[0]));
        if (f.middleStop) Color(scale, x, "color", Or(f.midColor, usual[1]));
        Color(scale, x, "color", Or(f.maxColor, usual[2]));
        break;
    }
    case ConditionalFormat::IconSet: {
        pugi::xml_node icons = Add(rule, x, "iconSet");
        if (f.iconSetNumber() != 4) // the three traffic lights are the default
            icons.append_attribute("iconSet").set_value(ConditionalFormat::IconSetName(f.iconSetNumber()));
        if (!f.showValue) icons.append_attribute("showValue").set_value("0");
        IconSteps(icons, x, f);
        break;
    }
    }
}

void AppendBarExtension(pugi::xml_node formattings, const ConditionalFormat& f, const std::string& guid) {
    const std::string x = PrefixOf(formattings);
    pugi::xml_node formatting = Add(formattings, x, "conditionalFormatting");
    formatting.append_attribute("xmlns:xm").set_value(kXmNamespace);
    pugi::xml_node rule = Add(formatting, x, "cfRule");
    rule.append_attribute("type").set_value("dataBar");
    rule.append_attribute("id").set_value(guid.c_str());
    pugi::xml_node bar = Add(rule, x, "dataBar");
    bar.append_attribute("minLength").set_value(0);
    bar.append_attribute("maxLength").set_value(100);
    bar.append_attribute("border").set_value(1);
    bar.append_attribute("negativeBarBorderColorSameAsPositive").set_value(0);
    for (int end = 0; end < 2; ++end) {
        pugi::xml_node c = Add(bar, x, "cfvo");
        if (f.atNumbers) {
            c.append_attribute("type").set_value("num");
            c.append_child("xm:f").text().set(Number(end == 0 ? f.min : f.max).c_str());
        } else {
            c.append_attribute("type").set_value(end == 0 ? "autoMin" : "autoMax");
        }
    }
    Color(bar, x, "borderColor", f.borderColor);
    Color(bar, x, "negativeFillColor", 0xFF0000);
    Color(bar, x, "negativeBorderColor", 0xFF0000);
    Color(bar, x, "axisColor", 0x000000);
    formatting.append_child("xm:sqref").text().set(CellRange(f).c_str());
}

QByteArray WithIconThresholds(QByteArray tail, const std::vector<ConditionalFormat>& formats) {
    for (const ConditionalFormat& f : formats) {
        if (f.kind != ConditionalFormat::IconSet || f.thresholds.empty()) continue;
        const qsizetype at = tail.indexOf("<conditionalFormatting sqref=\"" + CellRange(f) + "\"");
        const qsizetype open = at < 0 ? -1 : tail.indexOf("<iconSet", at);
        const qsizetype gt = open < 0 ? -1 : tail.indexOf('>', open);
        const qsizetype close = gt < 0 ? -1 : tail.indexOf("</iconSet>", gt);
        if (close < 0) continue;
        pugi::xml_document doc;
        pugi::xml_node icons = doc.append_child("iconSet");
        IconSteps(icons, {}, f);
        std::ostringstream steps;
        for (pugi::xml_node c : icons.children())
            c.print(steps, "", pugi::format_raw);
        tail.replace(gt + 1, close - gt - 1, QByteArray::fromStdString(steps.str()));
    }
    return tail;
}
