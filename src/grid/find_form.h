#pragma once
// "Find record": looks for a text in chosen fields of a grid's records and leaves the grid's dataset on
// the first, next or previous record where one of them matches.
#include <QDialog>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TkDBGrid;

// Program-wide find settings; the Last* values carry the last closed window's choices to the next.
struct TkDBFindCfg {
    bool ShowDelQuotes = false;
    bool ShowIgnoreDiacritics = false;
    std::function<void(TkDBGrid*)> OnFoundEvent;
    int LastOptIndex = 2;
    bool LastCaseSens = false;
    QString LastFindStr;
};
TkDBFindCfg& FindConfig();

class TkDBFindForm : public QDialog {
    Q_OBJECT
public:
    explicit TkDBFindForm(TkDBGrid* grid, bool sorted = false, QWidget* parent = nullptr);
    ~TkDBFindForm() override;

    enum Direction { First, Next, Previous };
    // The handler of "Find", "Find next" and "Previous"; true when a record matched.
    bool search(Direction direction);
    void sortList();
    void moveCurrent(int delta);
    void selectAll();
    QStringList fieldNames() const { return names_; }
    int FoundIndex = -1;
    QString FoundFieldText;
    bool Sorted = false;

    QComboBox* eText;
    QPushButton* btClearHist;
    QListWidget* lbLabels;
    QPushButton* btSelAll;
    QPushButton* btSort;
    QPushButton* btUp;
    QPushButton* btDown;
    QRadioButton* rgOpt[3];
    QCheckBox* cbCase;
    QCheckBox* cbDelQuotes;
    QCheckBox* chIgnoreDiacritics;
    QCheckBox* chShowMsg;
    QCheckBox* chCloseFound;
    QPushButton* btFind;
    QPushButton* btFindNext;
    QPushButton* btFindPrev;
    QPushButton* btClose;
    QLabel* lblResult;
    QPlainTextEdit* mInfo;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    int optIndex() const;
    QString section() const;
    QString gridKey() const;
    void fillList();
    void readSettings();
    void saveSettings();
    void showFound(const QString& text);
    TkDBGrid* grid_;
    QStringList names_; // field names, in list order
    bool shown_ = false;
    bool saved_ = false;
};

// Opens the window for a grid with an active dataset; nothing happens otherwise.
void ShowFindDialog(TkDBGrid* grid, bool sorted = false);
