#pragma once
// Conditions that colour a grid's cells from the data: each compares one field of the drawn record with
// a constant, today's date, another field or a column aggregate and, when it holds, sets the font
// colour, the background, bold type and an icon for the field's cell or the whole row. The list is
// compiled once per change (fields looked up, constants converted) and evaluated once per drawn row
// straight from the column store.
#include "ini_values.h"

#include <QFont>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class TkDBGrid;
class TField;
class TDataSet;

enum TCellParamsCondOperators {
    cpoEqual,
    cpoLess,
    cpoLessOrEq,
    cpoGreater,
    cpoGreaterOrEq,
    cpoNotEqual,
    cpoStart,
    cpoNotStart,
    cpoContain,
    cpoNotContain,
    cpoAllways
};
enum TCellParamsCondActions { cpaSet, cpaAND, cpaOR };

// The texts the conditions dialog shows, in ordinal order.
const QStringList& CondOperatorTexts();
const QStringList& CondActionTexts();
// The ordinal of a text (letter case ignored); -1 when it is none of them.
int CondOperatorOf(const QString& text);
int CondActionOf(const QString& text);

// An icon and a shown text instead of a cell's value.
struct TDataImageDef {
    bool UseDataImage = false;
    int ImageIndex = -1;    // -1 none; -3 the field's value as the index
    QString ImageAlignment; // "L", "R", "A" (opposite the column's alignment); empty: the whole cell
    QString ShowText;       // "+" the display text; "'..." the rest literally; other texts unchanged
    bool SkipTextDrawing = false;
    bool operator==(const TDataImageDef&) const = default;
};

struct TCellParamsCond {
    QString FieldName;
    TCellParamsCondOperators CondOperator = cpoEqual;
    QString Value; // constant, or "=" + "$Date" / "SUM(field)" ... / another field's name
    TCellParamsCondActions Action = cpaSet;
    int FontColor = kNoColor;
    int BkColor = kNoColor;
    bool Bold = false;
    bool WholeRow = false;
    TDataImageDef ImageDef;
    bool StopIfTrue = false;
    bool Deactive = false; // skipped: set by the user, or after an error
    QString ErrorDesc;
    int LastRecNo = -1; // row of the last evaluation (-1 none)
    bool LastResult = false;
};

// What a cell is drawn with; the conditions change it.
struct TCellParams {
    QFont font;
    int fontColor = kNoColor;  // none: the grid's text colour
    int background = kNoColor; // none: the grid's background
    TDataImageDef image;
};

class TCellParamsCondList {
public:
    TCellParamsCondList();
    ~TCellParamsCondList();
    TCellParamsCondList(const TCellParamsCondList&) = delete;
    TCellParamsCondList& operator=(const TCellParamsCondList&) = delete;

    TkDBGrid* Gr = nullptr;
    void LinkGrid(TkDBGrid* grid);

    int Count() const { return int(items_.size()); }
    const TCellParamsCond& Item(int i) const { return items_[size_t(i)]; }
    // Changing an item through this makes the list compile again.
    TCellParamsCond& EditItem(int i);
    const std::vector<TCellParamsCond>& Items() const { return items_; }
    void Add(const TCellParamsCond& c);
    void Delete(int i);
    void Clear();
    void SetItems(std::vector<TCellParamsCond> items);
    // Copies of the other list's items, run-time state included.
    void Assign(const TCellParamsCondList& other);

    // Forgets the results of the last drawn rows (every full repaint); aggregates and today are read anew.
    void ResetCond();
    // The dataset's fields changed: compile again before the next evaluation.
    void Invalidate();

    // Evaluates the conditions for the cell of field in grid row `row` (a row of the grid's model) and
    // changes params. highlight: the cell is drawn as selected (its colours stay). refreshCond: do
    // not reuse the row's cached results.
    void GetFieldCond(const TField* field, int row, TCellParams& params, bool activeRow, bool highlight,
                      bool refreshCond = false);

private:
    struct Compiled;
    struct Program;
    bool ensureCompiled(TDataSet* ds);
    void evaluateRow(int row);
    void deactivate(int item, const QString& message);

    std::vector<TCellParamsCond> items_;
    std::unique_ptr<Program> program_;
    bool dirty_ = true;
};
