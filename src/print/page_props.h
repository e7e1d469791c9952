#pragma once
// TPageProps: the geometry of one print run, in pixels of the drawing surface.
struct TPageProps {
    int ppix = 0, ppiy = 0; // pixels per inch across and down
    int mmx = 0, mmy = 0;   // pixels per millimetre across and down
    int PageWidth = 0, PageHeight = 0;
    int Hmargin = 0, Vmargin = 0;
    int CurLine = 0; // rows drawn on the current page
    int CurPage = 0; // from 0
    int CurX = 0;
    int CurY = 0; // top of the next row
    int LineH = 0;
    int LineW = 0;
    int LineHSpace = 0; // vertical spacing of a row, half above and half below the text
    int ColVSpace = 0;  // horizontal spacing of a cell, half on each side
};
