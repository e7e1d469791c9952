#pragma once
// The "Set filter" dialog (conditions built from a field, a sign and a value, or typed) and the
// "Stored filters" dialog.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class QTreeWidget;
class TDataSet;
class TField;
class TkDBGrid;

class TkDBFilterForm : public QDialog {
    Q_OBJECT
public:
    TkDBFilterForm(TkDBGrid* grid, TDataSet* ds, bool sortFields, QWidget* parent = nullptr);
    ~TkDBFilterForm() override;

    enum ValueKind { vkText, vkNumber, vkDate, vkBoolean };
    TField* selectedField() const;
    ValueKind valueKind() const;
    bool selectField(const QString& name);
    bool selectSign(const QString& caption);
    // "Add condition"; with andOk the memo is emptied first and "Ok" follows.
    bool addCondition(bool andOk = false);
    bool applyOk(); // "Ok": applies the memo; the dialog closes on success
    bool test();    // "Test": applies, counts, and puts the previous filter back
    void setPeriod(const QString& item);

    QTreeWidget* lvFields;
    QTreeWidget* lvSigns;
    QStackedWidget* valuePages;
    QComboBox* eValue; // text values, with their history
    QLineEdit* eNumFrom;
    QLineEdit* eNumTo;
    QDateEdit* eDateFrom;
    QDateEdit* eDateTo;
    QPushButton* btYes;
    QPushButton* btNo;
    QComboBox* cbLogical;
    QPlainTextEdit* eRes;
    QCheckBox* cbDelQuotes;
    QCheckBox* cbCaseSensitive;
    QCheckBox* cbShowCount;
    QPushButton* btTest;
    QLabel* lblTest;

private:
    // The parts of the window, top to bottom; each connects its own buttons.
    QLayout* buildFieldLists();
    QWidget* buildValuePages(); // with the "Set period" menu
    QLayout* buildConditionRow();
    QLayout* buildOptionsRow(); // below the conditions memo
    // The fields and signs to choose from, the memo and the choices of the last use.
    void showInitialState(bool sortFields);
    void fillSigns();
    void insertAtCaret(const QString& text);
    QString section() const;
    void saveState();
    bool readNumber(QLineEdit* box, QString& text);

    TkDBGrid* grid_;
    TDataSet* ds_;
};

// Returns true when the user applied a filter with "Ok".
bool ShowFilterDialog(TkDBGrid* grid, TDataSet* ds, bool sortFields);

class TkDBFilterSaverForm : public QDialog {
    Q_OBJECT
public:
    explicit TkDBFilterSaverForm(TkDBGrid* grid, QWidget* parent = nullptr);
    bool useRow(int row); // applies the row's condition; refreshes the marks
    bool deleteRow(int row);
    void refreshMarks();
    void store(); // writes the (edited) table back
    bool used() const { return used_; }

    QTableWidget* table;

private:
    TkDBGrid* grid_;
    bool used_ = false;
};

// True when a stored filter was used.
bool ShowStoredFilters(TkDBGrid* grid);
