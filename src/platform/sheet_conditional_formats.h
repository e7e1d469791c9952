#pragma once
// Data bars, colour scales and icon sets as a worksheet part holds them: a conditionalFormatting
// element with one rule; a bar with a border also has the rule's extension in the sheet's extension
// list, where the border is described.
#include "sheet_writer.h"

#include <QByteArray>
#include <pugixml.hpp>
#include <string>
#include <vector>

// The colours (0xRRGGBB) a format takes where it leaves them.
constexpr uint32_t kDefaultBarColor = 0x638EC6;
constexpr uint32_t kDefaultScaleColors[2][3] = {{0xFF7128, 0, 0xFFEF9C}, {0xF8696B, 0xFFEB84, 0x63BE7B}};

// The extension list entries that tie a rule to its extension, and that hold the extensions.
constexpr char kRuleExtensionUri[] = "{B025F937-C7B1-47D3-B67F-A62EFF666E3E}";
constexpr char kFormatsExtensionUri[] = "{78C0D931-6437-407d-A8EE-F0AAD7539E65}";
constexpr char kX14Namespace[] = "http://schemas.microsoft.com/office/spreadsheetml/2009/9/main";

// "B2:B10".
std::string CellRange(const ConditionalFormat& f);

// Fills an empty conditionalFormatting element with the format's rule. A bar with a border names its
// extension by guid ("{...}"); AppendBarExtension adds that.
void FillConditionalFormat(pugi::xml_node formatting, const ConditionalFormat& f, int priority,
                           const std::string& guid);
// Adds the extension of a bar with a border to the conditionalFormattings element of the sheet's
// extension list (prefix taken from it).
void AppendBarExtension(pugi::xml_node formattings, const ConditionalFormat& f, const std::string& guid);

// A worksheet part's text from its first conditionalFormatting element on, with the icon sets of
// formats that have thresholds stepped at them (a writer that knows only the percent steps wrote
// them); the elements are found by their ranges.
QByteArray WithIconThresholds(QByteArray tail, const std::vector<ConditionalFormat>& formats);
