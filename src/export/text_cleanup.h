#pragma once
// Value clean-up on UTF-8 text shared by the export engines. Lengths and cuts count characters
// (code points), never bytes.
#include <Qt>
#include <string>
#include <string_view>

// Characters in s.
size_t Utf8Length(std::string_view s);
// The byte length of the first n characters of s (all of s when it is shorter).
size_t Utf8Prefix(std::string_view s, size_t n);
// Removes blanks and control characters at both ends of s from byte `from` on.
void TrimControls(std::string& s, size_t from = 0);
// Replaces every CR LF, then every remaining CR, by with (a lone LF stays), in s from byte `from` on.
void ReplaceLineBreaks(std::string& s, std::string_view with, std::string& scratch, size_t from = 0);
// Appends s with every occurrence of quote doubled.
void AppendDoubling(std::string& out, std::string_view s, std::string_view quote);
// Doubles every occurrence of quote in s from byte `from` on.
void DoubleInPlace(std::string& s, size_t from, std::string_view quote, std::string& scratch);

// Whether a value holds the separator, the quote or a line break (never without a quote): the bytes
// that may start one of them are found in one pass.
class QuoteTest {
public:
    QuoteTest(std::string_view separator, std::string_view quote);
    bool operator()(std::string_view s) const;

private:
    std::string separator_, quote_;
    bool starts_[256] = {};
};
// Appends s cut or padded with fill to width characters: a longer value keeps its first width - 2
// characters and gets ".."; left-aligned values are padded on the right, right-aligned on the left,
// centred ones on both sides (an odd extra character to the right).
void AppendFixedWidth(std::string& out, std::string_view s, int width, Qt::Alignment alignment,
                      std::string_view fill);
