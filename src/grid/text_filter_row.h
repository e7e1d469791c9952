#pragma once
// The grid's text filter row: one filter cell per column under (or above) the titles; clicking one
// opens an editor whose text filters the column after a pause or on Enter.
#include <QComboBox>
#include <QPointer>
#include <QTimer>

class TField;
class TkDBGrid;

class TextFilterEditor : public QComboBox {
    Q_OBJECT
public:
    TextFilterEditor(TkDBGrid* grid, int column);
    int column() const { return column_; }
    // Filters by the text now (what the pause or Enter does); true when a filter was set.
    bool applyText();
    // Moves the editor to the next (step 1) or previous (-1) visible column that can be filtered.
    bool moveTo(int step);
    void place(); // over its column's filter cell

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void load(); // the column's text, history and error
    void showState();
    TkDBGrid* grid_;
    int column_;
    QTimer delay_;
    bool pending_ = false; // typed since the last filter
};

// Whether a field can be filtered from the text filter row.
bool TextFilterable(const TField* field);
