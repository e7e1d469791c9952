#pragma once
// The condition window of a column ("Filter..." in its value list): one comparison of the column with
// a number, a text or a date, built through the shared condition builders.
#include "dlg_base_form.h"

#include <QStringList>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class TField;
class TkDBGrid;

class TkDBGridFilterCondForm : public TkDBDlgBaseForm {
    Q_OBJECT
public:
    enum Page { pgNumbers, pgText, pgDates };
    // values: the column's distinct value texts, offered by the text page's value box; multi: the
    // condition joins the other columns' (else it replaces them).
    TkDBGridFilterCondForm(TkDBGrid* grid, const TField* field, bool multi, const QStringList& values,
                           QWidget* parent = nullptr);
    ~TkDBGridFilterCondForm() override;

    Page page() const { return page_; }
    // The condition the controls describe; empty while a value is missing or not a number.
    QString condition() const;
    bool ok(); // "Ok": false when the window stays open
    void setPeriod(const QString& item);

    QComboBox* cbOper; // "Type of comparison:"
    QStackedWidget* pages;
    QLineEdit* eNumber;
    QLineEdit* eNumberTo;
    QComboBox* eText;
    QDateEdit* eDate;
    QDateEdit* eDateTo;
    QToolButton* btPeriod;
    QLabel* lblAnd;
    QPushButton* btOk;
    QPushButton* btCancel;

private:
    void operChanged();
    QString section() const;
    void restore();
    void store() const;

    TkDBGrid* grid_;
    const TField* field_;
    bool multi_;
    Page page_;
};

// Opens the condition window of a column; true when it set a filter.
bool ShowFilterCondForm(TkDBGrid* grid, const TField* field, bool multi, const QStringList& values);
