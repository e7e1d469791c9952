#pragma once
// The "Record sorting" dialog: a table of fields with their directions, and up to 20 saved sortings.
#include "sort_text.h"

#include <QDialog>

class QListWidget;
class QPushButton;
class QTableWidget;

class TkDBSortForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TkDBSortForm2(TkDBGrid* grid, QWidget* parent = nullptr);

    // The table: one row per field (by caption) and a last empty row marked "*".
    void setItems(const SortItems& items);
    SortItems items() const;
    void setRowField(int row, const QString& caption); // typing into the "*" row adds a new one
    void setRowDescending(int row, bool desc);
    void moveRow(int row, int delta);
    void deleteRow(int row);
    void deleteAllRows();
    bool applyOk();     // applies per field; stays open with a warning when refused
    bool saveSorting(); // asks for a name; stores under that name's slot or the first free one
    bool loadSaved(const QString& name);
    bool deleteSaved(const QString& name);
    void fillSaved();

    QTableWidget* table;
    QListWidget* lbSaved;
    QPushButton* btSave;

private:
    QString captionOf(const QString& field) const;
    QString fieldOf(const QString& caption) const;
    int slotOf(const QString& name) const;

    TkDBGrid* grid_;
    QStringList captions_, names_; // the sortable columns
};

bool ShowSortDialog(TkDBGrid* grid);
