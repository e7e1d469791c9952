#include "filter_form.h"

#include "comp_config.h"
#include "dataset.h"
#include "db_grid.h"
#include "exceptions.h"
#include "filter_text.h"
#include "messages.h"
#include "period_menu.h"
#include "prop_save_file.h"
#include "sql_names.h"
#include "text_file.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
struct Sign {
    const char* caption;
    const char* op;
};
const Sign kTextSigns[] = {
    {"contain", "LIKE"}, {"start with", "LIKE"},        {"is equal", "="},   {"is not equal", "<>"},
    {"is greater", ">"}, {"is greater or equal", ">="}, {"is smaller", "<"}, {"is smaller or equal", "<="}};
const Sign kValueSigns[] = {
    {"is equal", "="},   {"is not equal", "<>"},        {"is greater", ">"},  {"is greater or equal", ">="},
    {"is smaller", "<"}, {"is smaller or equal", "<="}, {"is between", " - "}};

const TkDBFilterCfg& cfg() {
    return VemoCompConfig().kDBFilterCfg;
}
} // namespace

TkDBFilterForm::TkDBFilterForm(TkDBGrid* grid, TDataSet* ds, bool sortFields, QWidget* parent)
    : QDialog(parent), grid_(grid), ds_(ds ? ds : (grid ? grid->dataSet() : nullptr)) {
    setObjectName(QStringLiteral("TkDBFilterForm"));
    setWindowTitle(QStringLiteral("Set filter"));
    QLayout* top = buildFieldLists();
    QWidget* pages = buildValuePages();
    QLayout* mid = buildConditionRow();
    eRes = new QPlainTextEdit;
    QLayout* opts = buildOptionsRow();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { applyOk(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* l = new QVBoxLayout(this);
    l->addLayout(top, 1);
    l->addWidget(pages);
    l->addLayout(mid);
    l->addWidget(new QLabel(QStringLiteral("Filter conditions:")));
    l->addWidget(eRes, 1);
    l->addLayout(opts);
    l->addWidget(buttons);

    showInitialState(sortFields);
    // Connected after the initial state, which must not run them.
    connect(lvFields, &QTreeWidget::currentItemChanged, this, [this] { fillSigns(); });
    connect(lvFields, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* it) { insertAtCaret(QuoteFieldName(it->text(1))); });
    connect(lvSigns, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* it) { insertAtCaret(it->text(1)); });
    connect(lvSigns, &QTreeWidget::currentItemChanged, this, [this] {
        const bool between =
            lvSigns->currentItem() && lvSigns->currentItem()->text(1) == QLatin1String(" - ");
        eNumTo->setEnabled(between);
        eDateTo->setEnabled(between);
    });
    auto enableTest = [this] {
        btTest->setEnabled(true);
        lblTest->clear();
    };
    connect(eRes, &QPlainTextEdit::textChanged, this, enableTest);
    connect(cbCaseSensitive, &QCheckBox::toggled, this, enableTest);
    connect(this, &QDialog::finished, this, [this] { saveState(); });
}

QLayout* TkDBFilterForm::buildFieldLists() {
    auto* top = new QHBoxLayout;
    lvFields = new QTreeWidget;
    lvFields->setHeaderLabels({QStringLiteral("Field caption:"), QStringLiteral("Field name:")});
    lvFields->setRootIsDecorated(false);
    lvFields->setColumnHidden(1, cfg().HideFieldNames);
    lvSigns = new QTreeWidget;
    lvSigns->setHeaderLabels({QStringLiteral("Sign"), QStringLiteral("Operator")});
    lvSigns->setRootIsDecorated(false);
    top->addWidget(lvFields, 2);
    top->addWidget(lvSigns, 1);
    return top;
}

QWidget* TkDBFilterForm::buildValuePages() {
    valuePages = new QStackedWidget;
    auto* textPage = new QWidget;
    auto* tl = new QHBoxLayout(textPage);
    eValue = new QComboBox;
    eValue->setEditable(true);
    eValue->setInsertPolicy(QComboBox::NoInsert);
    auto* btDelHistory = new QPushButton(QStringLiteral("Delete"));
    btDelHistory->setFlat(true);
    tl->addWidget(eValue, 1);
    tl->addWidget(btDelHistory);
    auto* numPage = new QWidget;
    auto* nl = new QFormLayout(numPage);
    eNumFrom = new QLineEdit;
    eNumTo = new QLineEdit;
    nl->addRow(QStringLiteral("Value from:"), eNumFrom);
    nl->addRow(QStringLiteral("Value to:"), eNumTo);
    auto* datePage = new QWidget;
    auto* dl = new QHBoxLayout(datePage);
    eDateFrom = new QDateEdit(QDate::currentDate());
    eDateTo = new QDateEdit(QDate::currentDate());
    for (QDateEdit* e : {eDateFrom, eDateTo})
        e->setCalendarPopup(true);
    auto* btPeriod = new QToolButton;
    btPeriod->setText(QStringLiteral("Set period"));
    btPeriod->setPopupMode(QToolButton::InstantPopup);
    auto* periodMenu = new QMenu(btPeriod);
    btPeriod->setMenu(periodMenu);
    dl->addWidget(eDateFrom);
    dl->addWidget(eDateTo);
    dl->addWidget(btPeriod);
    auto* boolPage = new QWidget;
    auto* bl = new QHBoxLayout(boolPage);
    btYes = new QPushButton(QStringLiteral("Yes"));
    btNo = new QPushButton(QStringLiteral("No"));
    for (QPushButton* b : {btYes, btNo}) {
        b->setCheckable(true);
        b->setAutoExclusive(true);
        bl->addWidget(b);
    }
    btYes->setChecked(true);
    valuePages->addWidget(textPage);
    valuePages->addWidget(numPage);
    valuePages->addWidget(datePage);
    valuePages->addWidget(boolPage);
    connect(btDelHistory, &QPushButton::clicked, this, [this] {
        const QString t = eValue->currentText();
        eValue->clear();
        eValue->setCurrentText(t);
    });
    // "Set period": the first and second date of "is between" relative to today.
    FillPeriodMenu(periodMenu, [this](const QString& item) { setPeriod(item); });
    return valuePages;
}

QLayout* TkDBFilterForm::buildConditionRow() {
    cbLogical = new QComboBox;
    cbLogical->addItems({QStringLiteral("AND"), QStringLiteral("OR")});
    auto* btAdd = new QPushButton(QStringLiteral("Add condition"));
    auto* btAddOk = new QPushButton(QStringLiteral("Enter condition and OK"));
    auto* mid = new QHBoxLayout;
    mid->addWidget(new QLabel(QStringLiteral("Logical operator")));
    mid->addWidget(cbLogical);
    mid->addStretch();
    mid->addWidget(btAdd);
    mid->addWidget(btAddOk);
    connect(btAdd, &QPushButton::clicked, this, [this] { addCondition(false); });
    connect(btAddOk, &QPushButton::clicked, this, [this] { addCondition(true); });
    return mid;
}

QLayout* TkDBFilterForm::buildOptionsRow() {
    cbDelQuotes = new QCheckBox(QStringLiteral("Delete quotes"));
    cbCaseSensitive = new QCheckBox(QStringLiteral("Case sensitive"));
    cbShowCount = new QCheckBox(QStringLiteral("Show record count"));
    btTest = new QPushButton(QStringLiteral("Test"));
    lblTest = new QLabel;
    auto* btClear = new QPushButton(QStringLiteral("Delete conditions"));
    auto* btLoad = new QPushButton(QStringLiteral("Load..."));
    auto* btSave = new QPushButton(QStringLiteral("Save..."));
    auto* opts = new QHBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{cbDelQuotes, cbCaseSensitive, cbShowCount, btTest, lblTest})
        opts->addWidget(w);
    opts->addStretch();
    for (QWidget* w : std::initializer_list<QWidget*>{btClear, btLoad, btSave})
        opts->addWidget(w);
    connect(btTest, &QPushButton::clicked, this, [this] { test(); });
    connect(btClear, &QPushButton::clicked, eRes, &QPlainTextEdit::clear);
    const QString fileFilter = QStringLiteral("Filter conditions (*.flt);;All files (*)");
    connect(btLoad, &QPushButton::clicked, this, [this, fileFilter] {
        const QString name = QFileDialog::getOpenFileName(this, QString(), QString(), fileFilter);
        QFile f(name);
        if (name.isEmpty()) return;
        if (!f.open(QIODevice::ReadOnly)) {
            Messages().error(QStringLiteral("Cannot open file \"%1\".").arg(name));
            return;
        }
        try {
            eRes->setPlainText(DecodeTextFile(f.readAll(), name));
        } catch (const Exception& e) {
            Messages().error(e.Message);
        }
    });
    connect(btSave, &QPushButton::clicked, this, [this, fileFilter] {
        const QString name = QFileDialog::getSaveFileName(this, QString(), QString(), fileFilter);
        QFile f(name);
        if (name.isEmpty()) return;
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(eRes->toPlainText().toUtf8()) < 0)
            Messages().error(QStringLiteral("Cannot write file \"%1\".").arg(name));
    });
    return opts;
}

void TkDBFilterForm::showInitialState(bool sortFields) {
    if (ds_) {
        eRes->setPlainText(ds_->Filter());
        eRes->moveCursor(QTextCursor::End);
        cbCaseSensitive->setChecked(!(ds_->FilterOptions & foCaseInsensitive));
    }
    cbDelQuotes->setVisible(cfg().ShowDelQuotes);
    cbCaseSensitive->setVisible(cfg().ShowCaseSensitive);
    QList<QTreeWidgetItem*> rows;
    auto addField = [&](TField* f, const QString& caption) {
        if (!f || !(IsPlainField(*f) || IsMemoField(*f))) return;
        auto* it = new QTreeWidgetItem({caption, f->FieldName});
        rows << it;
    };
    if (grid_ && grid_->dataSet() == ds_) {
        for (int c = 0; c < grid_->model()->columnCount(); ++c)
            if (!grid_->isColumnHidden(c)) addField(grid_->fieldOfColumn(c), grid_->GetTitleText(c));
    } else if (ds_) {
        for (int i = 0; i < ds_->FieldCount(); ++i)
            if (ds_->Fields(i)->Visible) addField(ds_->Fields(i), ds_->Fields(i)->DisplayLabel());
    }
    if (sortFields)
        std::stable_sort(rows.begin(), rows.end(), [](QTreeWidgetItem* a, QTreeWidgetItem* b) {
            return a->text(0).compare(b->text(0), Qt::CaseInsensitive) < 0;
        });
    lvFields->addTopLevelItems(rows);

    TPropSaveFile* store = VemoCompConfig().Global_PropSaveFile;
    QString selField, selSign;
    if (store) {
        selField = store->ReadString(section(), QStringLiteral("SelectedField"));
        selSign = store->ReadString(section(), QStringLiteral("SelectedOperator"));
        QStringList history;
        store->ReadStrings(section() + QStringLiteral(".History"), history);
        eValue->addItems(history);
        cbDelQuotes->setChecked(cbDelQuotes->isVisible() &&
                                store->ReadBool(section(), QStringLiteral("DelQuotes"), false));
        cbShowCount->setChecked(store->ReadBool(section(), QStringLiteral("ShowCount"), false));
    }
    eValue->setCurrentText(QString());
    TField* gridField = grid_ ? grid_->fieldOfColumn(grid_->currentIndex().column()) : nullptr;
    if (!selectField(selField) && !(gridField && selectField(gridField->FieldName)) &&
        lvFields->topLevelItemCount())
        lvFields->setCurrentItem(lvFields->topLevelItem(0));
    fillSigns();
    if (!selectSign(selSign) && lvSigns->topLevelItemCount())
        lvSigns->setCurrentItem(lvSigns->topLevelItem(0));
}

TkDBFilterForm::~TkDBFilterForm() = default;

QString TkDBFilterForm::section() const {
    const QObject* owner = grid_ ? grid_->window() : nullptr;
    return objectName() + '.' + (owner ? owner->objectName() : QString()) + '.' +
           (grid_ ? grid_->objectName() : QString());
}

void TkDBFilterForm::saveState() {
    TPropSaveFile* store = VemoCompConfig().Global_PropSaveFile;
    if (!store) return;
    if (TField* f = selectedField())
        store->WriteString(section(), QStringLiteral("SelectedField"), f->FieldName);
    if (lvSigns->currentItem())
        store->WriteString(section(), QStringLiteral("SelectedOperator"), lvSigns->currentItem()->text(0));
    QStringList history;
    for (int i = 0; i < eValue->count(); ++i)
        history << eValue->itemText(i);
    store->WriteStrings(section() + QStringLiteral(".History"), history);
    store->WriteBool(section(), QStringLiteral("DelQuotes"), cbDelQuotes->isChecked());
    store->WriteBool(section(), QStringLiteral("ShowCount"), cbShowCount->isChecked());
}

TField* TkDBFilterForm::selectedField() const {
    QTreeWidgetItem* it = lvFields->currentItem();
    return it && ds_ ? ds_->FindField(it->text(1)) : nullptr;
}

TkDBFilterForm::ValueKind TkDBFilterForm::valueKind() const {
    TField* f = selectedField();
    if (!f) return vkText;
    if (IsBooleanField(*f)) return vkBoolean;
    if (IsNumericField(*f)) return vkNumber;
    if (f->DataType == ftDate || f->DataType == ftDateTime || f->DataType == ftTimeStamp) return vkDate;
    return vkText;
}

bool TkDBFilterForm::selectField(const QString& name) {
    if (name.isEmpty()) return false;
    for (int i = 0; i < lvFields->topLevelItemCount(); ++i)
        if (lvFields->topLevelItem(i)->text(1).compare(name, Qt::CaseInsensitive) == 0) {
            lvFields->setCurrentItem(lvFields->topLevelItem(i));
            return true;
        }
    return false;
}

bool TkDBFilterForm::selectSign(const QString& caption) {
    for (int i = 0; i < lvSigns->topLevelItemCount(); ++i)
        if (lvSigns->topLevelItem(i)->text(0) == caption) {
            lvSigns->setCurrentItem(lvSigns->topLevelItem(i));
            return true;
        }
    return false;
}

void TkDBFilterForm::fillSigns() {
    const QString previous = lvSigns->currentItem() ? lvSigns->currentItem()->text(0) : QString();
    lvSigns->clear();
    const ValueKind kind = valueKind();
    auto add = [this](const Sign* first, int count) {
        for (int i = 0; i < count; ++i)
            lvSigns->addTopLevelItem(new QTreeWidgetItem(
                {QString::fromLatin1(first[i].caption), QString::fromLatin1(first[i].op)}));
    };
    if (kind == vkText)
        add(kTextSigns, int(std::size(kTextSigns)));
    else if (kind == vkBoolean)
        add(kValueSigns, 2);
    else
        add(kValueSigns, int(std::size(kValueSigns)));
    if (!selectSign(previous)) lvSigns->setCurrentItem(lvSigns->topLevelItem(0));
    valuePages->setCurrentIndex(kind);
}

void TkDBFilterForm::insertAtCaret(const QString& text) {
    eRes->textCursor().insertText(text);
}

bool TkDBFilterForm::readNumber(QLineEdit* box, QString& text) {
    bool ok = false;
    double v = QLocale::system().toDouble(box->text().trimmed(), &ok);
    if (!ok) v = box->text().trimmed().toDouble(&ok);
    if (!ok) {
        Messages().warning(QStringLiteral("\"%1\" is not a valid number.").arg(box->text()));
        box->setFocus();
        return false;
    }
    text = FilterFloatText(v);
    return true;
}

void TkDBFilterForm::setPeriod(const QString& item) {
    QDate from, to;
    if (!PeriodDates(item, QDate::currentDate(), from, to)) return;
    eDateFrom->setDate(from);
    eDateTo->setDate(to);
    selectSign(QStringLiteral("is between"));
}

bool TkDBFilterForm::addCondition(bool andOk) {
    TField* f = selectedField();
    QTreeWidgetItem* sign = lvSigns->currentItem();
    if (!f || !sign) return false;
    const QString typed = eValue->currentText();
    const ValueKind kind = valueKind();
    const bool between = sign->text(1) == QLatin1String(" - ");
    const QString name = QuoteFieldName(f->FieldName);
    QString cond;
    switch (kind) {
    case vkNumber: {
        QString a, b;
        if (!readNumber(eNumFrom, a) || (between && !readNumber(eNumTo, b))) return false;
        cond = between ? BuildRangeCondition(name, a, b, QString())
                       : '(' + name + ' ' + sign->text(1) + ' ' + a + ')';
        break;
    }
    case vkDate:
        cond = between ? BuildRangeCondition(name, FilterDateText(eDateFrom->date()),
                                             FilterDateText(eDateTo->date()), QStringLiteral("'"))
                       : '(' + name + ' ' + sign->text(1) + ' ' +
                             QuoteConditionValue(*f, FilterDateText(eDateFrom->date())) + ')';
        break;
    case vkBoolean:
        cond = '(' + name + ' ' + sign->text(1) + ' ' + cfg().BooleanString[btYes->isChecked() ? 1 : 0] + ')';
        break;
    case vkText: {
        QString v = typed, op = sign->text(1);
        const int row = lvSigns->indexOfTopLevelItem(sign);
        if (row <= 1) {
            op = cfg().FilterLikeOperator;
            v = (row == 0 ? QString(cfg().FilterWildCardChar) : QString()) + v + cfg().FilterWildCardChar;
        }
        // The value is quoted like every other one, so an apostrophe in it is data, not syntax.
        cond = '(' + name + ' ' + op + ' ' + QuoteConditionValue(*f, v) + ')';
        break;
    }
    }
    if (kind == vkText && !typed.isEmpty() && eValue->findText(typed) < 0) {
        QStringList items{typed};
        for (int i = 0; i < eValue->count(); ++i)
            items << eValue->itemText(i);
        items.sort(Qt::CaseInsensitive);
        eValue->clear();
        eValue->addItems(items);
    }
    if (andOk) eRes->clear();
    if (!eRes->toPlainText().trimmed().isEmpty()) insertAtCaret(' ' + cbLogical->currentText() + ' ');
    insertAtCaret(cond);
    eValue->setCurrentText(QString());
    lvFields->setFocus();
    if (andOk) return applyOk();
    return true;
}

namespace {
QString memoText(const TkDBFilterForm& form) {
    QString text = form.eRes->toPlainText();
    if (form.cbDelQuotes->isChecked()) text.remove('"');
    return text;
}
} // namespace

bool TkDBFilterForm::applyOk() {
    if (!ds_) return false;
    ds_->FilterOptions = cbCaseSensitive->isChecked() ? ds_->FilterOptions & ~foCaseInsensitive
                                                      : ds_->FilterOptions | foCaseInsensitive;
    const QString text = memoText(*this);
    if (!ApplyFilter(ds_, text, true)) return false;
    if (text.trimmed().isEmpty()) ds_->setFilter(QString());
    if (cbShowCount->isChecked())
        Messages().information(QStringLiteral("Selected %1 records.").arg(ds_->RecordCount()));
    if (grid_) grid_->FilterChangedNotification();
    accept();
    return true;
}

bool TkDBFilterForm::test() {
    if (!ds_) return false;
    const int options = ds_->FilterOptions;
    const QString oldText = ds_->Filter();
    const bool oldOn = ds_->Filtered();
    ds_->FilterOptions =
        cbCaseSensitive->isChecked() ? options & ~foCaseInsensitive : options | foCaseInsensitive;
    const bool ok = ApplyFilter(ds_, memoText(*this), true);
    if (ok) {
        lblTest->setText(QStringLiteral("All OK. Selected %1 records.").arg(ds_->RecordCount()));
        btTest->setEnabled(false);
    }
    // The tested filter never stays in force.
    ds_->FilterOptions = options;
    try {
        ds_->DisableControls();
        ds_->setFiltered(false);
        ds_->setFilter(oldText);
        ds_->setFiltered(oldOn);
        ds_->EnableControls();
    } catch (const std::exception&) {
        ds_->EnableControls();
    }
    return ok;
}

bool ShowFilterDialog(TkDBGrid* grid, TDataSet* ds, bool sortFields) {
    TkDBFilterForm form(grid, ds, sortFields, grid ? grid->window() : nullptr);
    return form.exec() == QDialog::Accepted;
}

// ---- stored filters

TkDBFilterSaverForm::TkDBFilterSaverForm(TkDBGrid* grid, QWidget* parent) : QDialog(parent), grid_(grid) {
    setObjectName(QStringLiteral("TkDBFilterSaverForm"));
    setWindowTitle(QStringLiteral("Stored filters"));
    table = new QTableWidget(0, 3);
    table->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("Filter name"), QStringLiteral("Filter condition")});
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    for (const StoredFilter& r : ReadStoredFilters(StoredFiltersSection(grid_))) {
        const int row = table->rowCount();
        table->insertRow(row);
        auto* mark = new QTableWidgetItem;
        mark->setFlags(mark->flags() & ~Qt::ItemIsEditable);
        table->setItem(row, 0, mark);
        table->setItem(row, 1, new QTableWidgetItem(r.name));
        table->setItem(row, 2, new QTableWidgetItem(r.condition));
    }
    refreshMarks();
    auto* btUse = new QPushButton(QStringLiteral("Use filter"));
    auto* btDelete = new QPushButton(QStringLiteral("Delete"));
    auto* btClose = new QPushButton(QStringLiteral("Close"));
    auto* bl = new QHBoxLayout;
    bl->addWidget(btUse);
    bl->addWidget(btDelete);
    bl->addStretch();
    bl->addWidget(btClose);
    auto* l = new QVBoxLayout(this);
    l->addWidget(table, 1);
    l->addLayout(bl);
    connect(table, &QTableWidget::cellDoubleClicked, this, [this](int row, int col) {
        if (col == 0) useRow(row);
    });
    connect(btUse, &QPushButton::clicked, this, [this] {
        if (useRow(table->currentRow())) accept();
    });
    connect(btDelete, &QPushButton::clicked, this, [this] { deleteRow(table->currentRow()); });
    connect(btClose, &QPushButton::clicked, this, [this] { used_ ? accept() : reject(); });
    connect(this, &QDialog::finished, this, [this] { store(); });
}

void TkDBFilterSaverForm::refreshMarks() {
    const QString current = grid_ && grid_->dataSet() ? grid_->dataSet()->Filter() : QString();
    for (int r = 0; r < table->rowCount(); ++r)
        table->item(r, 0)->setText(table->item(r, 2)->text() == current ? QString() : QStringLiteral("+"));
}

bool TkDBFilterSaverForm::useRow(int row) {
    if (row < 0 || row >= table->rowCount() || !grid_) return false;
    if (!ApplyFilter(grid_->dataSet(), table->item(row, 2)->text(), true)) return false;
    used_ = true;
    grid_->FilterChangedNotification();
    refreshMarks();
    return true;
}

bool TkDBFilterSaverForm::deleteRow(int row) {
    if (row < 0 || row >= table->rowCount()) return false;
    if (Messages().question(QStringLiteral("Delete selected record?")) != MsgAnswer::Yes) return false;
    table->removeRow(row);
    return true;
}

void TkDBFilterSaverForm::store() {
    QList<StoredFilter> rows;
    for (int r = 0; r < table->rowCount(); ++r)
        rows << StoredFilter{table->item(r, 1)->text(), table->item(r, 2)->text()};
    WriteStoredFilters(StoredFiltersSection(grid_), rows);
}

bool ShowStoredFilters(TkDBGrid* grid) {
    TkDBFilterSaverForm form(grid, grid ? grid->window() : nullptr);
    form.exec();
    return form.used();
}
