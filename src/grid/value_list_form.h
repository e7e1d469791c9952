#pragma once
// The value list of a column's funnel: the column's distinct values with ticks; "Ok" filters the
// records holding the ticked values.
#include "column_filter.h"

#include <QDialog>
#include <QPoint>

class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class TkDBGridFilterForm : public QDialog {
    Q_OBJECT
public:
    TkDBGridFilterForm(TkDBGrid* grid, TField* field, QWidget* parent = nullptr);

    // The entries after "(select all)" and whether each is ticked.
    const QList<DistinctValue>& values() const { return values_; }
    bool ticked(int value) const;
    void setTicked(int value, bool on);
    bool ok(); // "Ok": false when the list stays open
    // "Filter..." closed the list: the condition window follows.
    bool conditionAsked() const { return conditionAsked_; }

    QListWidget* lbValues; // row 0 is "(select all)"
    QCheckBox* chAnd;      // "Add to act. filter"
    QPushButton* btOk;
    QPushButton* btClear;
    QPushButton* btFilter;
    QPushButton* btCancel;

private:
    void itemChanged(QListWidgetItem* it);
    void refreshOk();
    TkDBGrid* grid_;
    TField* field_;
    QList<DistinctValue> values_;
    bool filling_ = false;
    bool conditionAsked_ = false;
};

// Opens the value list of a column (the current one for -1) under its title, or at pos when given.
void ShowFunnelFilter(TkDBGrid* grid, int column = -1, const QPoint& pos = QPoint());
