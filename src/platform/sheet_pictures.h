#pragma once
// Pictures over sheet cells as drawing parts: each one anchored at its cell's top-left corner plus an
// offset, with its own size (a one-cell anchor), so it keeps its size whatever the rows and columns
// around it are.
#include <QByteArray>
#include <pugixml.hpp>

struct SheetPicture {
    int row = 0, col = 0;      // from 0
    int offset = 0;            // pixels right and down from the cell's corner
    int width = 0, height = 0; // pixels
};

// Appends the anchor of a picture whose image is the drawing's relationship relId to a drawing
// (its wsDr root); id is the shape id, unique in the drawing.
void AppendPictureAnchor(pugi::xml_node drawing, const SheetPicture& p, int id, const char* relId);

// A drawing part's cell-spanning picture anchors turned into one-cell anchors with the picture's own
// size (a writer that sized them from rows it no longer knew the heights of). Returns the part.
QByteArray OneCellAnchors(const QByteArray& drawingPart);

// An empty drawing part.
const char* EmptyDrawingPart();
