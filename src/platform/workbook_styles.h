#pragma once
// The style table of an existing workbook (its styles part) with the formats of an export appended:
// number formats, fonts, fills and borders are added after the workbook's own, so every index its
// cells already use keeps its meaning. Equal formats are added once.
#include "sheet_writer.h"

#include <map>
#include <pugixml.hpp>
#include <string>

class WorkbookStyles {
public:
    // root: the styleSheet element of the part.
    explicit WorkbookStyles(pugi::xml_node root);
    // The cell format index (an xf of cellXfs) for the format.
    int add(const CellFormat& format);
    // A style table with the defaults a workbook needs, for a package that has none.
    static const char* DefaultPart();

private:
    int numberFormat(const QString& code);
    int font(const CellFormat& f);
    int fill(uint32_t color);
    int thinBorder();
    int append(const char* list, pugi::xml_node item);

    pugi::xml_node root_;
    std::map<QString, int> numFmts_;
    std::map<std::string, int> fonts_, fills_, xfs_;
    int thinBorder_ = -1;
    int nextNumFmt_ = 164; // custom number formats start here
};
