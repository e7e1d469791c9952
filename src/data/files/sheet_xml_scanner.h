#pragma once
// A forward scanner over a worksheet's XML: tags and text one after the other, without building a
// tree, so a sheet of a million rows needs the memory of its cells only. Names compare by their
// local part ("x:c" is "c"); text comes with its entities decoded and CDATA sections kept.
#include <string>
#include <string_view>

class SheetXmlScanner {
public:
    SheetXmlScanner(const char* data, size_t size) : begin_(data), p_(data), end_(data + size) {}

    struct Tag {
        std::string_view local; // the name without its prefix
        std::string_view attrs; // the raw attribute text
        bool close = false;     // </name>
        bool selfClose = false; // <name/>
    };
    // The next tag (the text before it skipped); false at the end of the data. Raises
    // EDatabaseError-free: a tag cut off by the end of the data is reported through damaged().
    bool nextTag(Tag& t);
    // Appends the text up to the next tag.
    void text(std::string& out);
    // The value of an unprefixed attribute (empty when absent).
    static std::string_view attr(std::string_view attrs, std::string_view name);

    bool damaged() const { return damaged_; }
    size_t offset() const { return size_t(p_ - begin_); }

private:
    const char* begin_;
    const char* p_;
    const char* end_;
    bool damaged_ = false;
};

// Appends the UTF-8 text of an XML character run, its entities decoded.
void AppendXmlText(std::string_view raw, std::string& out);
