#include "gen_data_window.h"

#include "cursor_guard.h"
#include "exceptions.h"
#include "gen_data_settings.h"
#include "messages.h"
#include "prop_save_file.h"
#include "prop_save_main.h"
#include "query.h"
#include "schema_rowsets.h"
#include "shell.h"
#include "sql_tool_host.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

// The table names of a connection: the tables schema restricted to the type "TABLE".
QStringList tableNames(TADOConnection& con) {
    TADOQuery q;
    con.OpenSchema(siTables, {QVariant(), QVariant(), QVariant(), QStringLiteral("TABLE")}, q);
    QStringList names;
    TField* name = q.FieldByName(QStringLiteral("Table_Name"));
    for (q.First(); !q.Eof(); q.Next())
        names << name->AsString();
    return names;
}

bool containsName(const QStringList& list, const QString& name) {
    return list.contains(name, Qt::CaseInsensitive);
}

// The drop-down editors of the grid: the action list (a fixed list), source tables and fields (free
// text with suggestions).
class GenCellDelegate : public QStyledItemDelegate {
public:
    explicit GenCellDelegate(TDlgGenData* dlg) : QStyledItemDelegate(dlg), dlg_(dlg) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        const int col = index.column();
        if (col != TDlgGenData::colAction && col != TDlgGenData::colTable &&
            col != TDlgGenData::colSourceField)
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto* combo = new QComboBox(parent);
        combo->setObjectName(QStringLiteral("sgGenPicklist"));
        combo->setEditable(col != TDlgGenData::colAction);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->addItems(dlg_->sgGenPicklist(index.row() + 1, col));
        return combo;
    }

private:
    TDlgGenData* dlg_;
};
} // namespace

TDlgGenData::TDlgGenData(SqlToolHost* host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName(QStringLiteral("TDlgGenData"));
    setWindowTitle(QStringLiteral("Generate data"));
    setMinimumSize(600, 400);
    auto* root = new QVBoxLayout(this);

    auto* target = new QHBoxLayout;
    target->addWidget(new QLabel(QStringLiteral("Target table:")));
    lblTableName = named(new QLabel, "lblTableName");
    QFont bold = lblTableName->font();
    bold.setBold(true);
    lblTableName->setFont(bold);
    target->addWidget(lblTableName, 1);
    root->addLayout(target);

    sgGen = named(new QTableWidget(1, colCount), "sgGen");
    sgGen->setHorizontalHeaderLabels(GenGridTitles());
    sgGen->verticalHeader()->hide();
    sgGen->setSelectionMode(QAbstractItemView::SingleSelection);
    sgGen->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    sgGen->setItemDelegate(new GenCellDelegate(this));
    const StringGridData defaults = GenGridOf({});
    for (int c = 0; c < colCount; ++c)
        sgGen->setColumnWidth(c, defaults.colWidths[size_t(c)]);
    sgGen->horizontalHeader()->setStretchLastSection(true);
    root->addWidget(sgGen, 1);

    auto* bottom = new QHBoxLayout;
    auto* typeBox = named(new QGroupBox(QStringLiteral("Generation type")), "gbType");
    auto* typeLayout = new QGridLayout(typeBox);
    rbUpdate = named(new QRadioButton(QStringLiteral("Update existning records")), "rbUpdate");
    rbInsert = named(new QRadioButton(QStringLiteral("Insert new records")), "rbInsert");
    rbUpdate->setChecked(true);
    eRecNum = named(new QSpinBox, "eRecNum");
    eRecNum->setRange(1, 10000000);
    eRecNum->setSingleStep(100);
    eRecNum->setValue(100);
    typeLayout->addWidget(rbUpdate, 0, 0, 1, 2);
    typeLayout->addWidget(rbInsert, 1, 0, 1, 2);
    typeLayout->addWidget(new QLabel(QStringLiteral("Number of records:")), 2, 0);
    typeLayout->addWidget(eRecNum, 2, 1);
    bottom->addWidget(typeBox);

    auto* buttons = new QGridLayout;
    btGenerate = named(new QPushButton(QStringLiteral("Generate data")), "btGenerate");
    btSaveSet = named(new QPushButton(QStringLiteral("Save settings")), "btSaveSet");
    btLoad = named(new QPushButton(QStringLiteral("Load settings")), "btLoad");
    btOpenDB = named(new QPushButton(QStringLiteral("Open Demo database")), "btOpenDB");
    chAutoLoad = named(new QCheckBox(QStringLiteral("AutoLoad settings")), "chAutoLoad");
    lblInfo = named(new QLabel, "lblInfo");
    lblInfo->setFont(bold);
    lblInfo->hide();
    buttons->addWidget(btGenerate, 0, 0);
    buttons->addWidget(lblInfo, 0, 1);
    buttons->addWidget(btSaveSet, 1, 0);
    buttons->addWidget(btLoad, 1, 1);
    buttons->addWidget(chAutoLoad, 2, 1);
    buttons->addWidget(btOpenDB, 2, 0);
    bottom->addLayout(buttons, 1);
    root->addLayout(bottom);

    connect(btGenerate, &QPushButton::clicked, this, [this] { btGenerateClick(); });
    connect(btSaveSet, &QPushButton::clicked, this, [this] { btSaveSetClick(); });
    connect(btLoad, &QPushButton::clicked, this, [this] { btLoadClick(); });
    connect(btOpenDB, &QPushButton::clicked, this, [this] { btOpenDBClick(); });
    connect(sgGen, &QTableWidget::cellChanged, this, [this](int row, int col) {
        if (!filling_) sgGenFinishCellEditing(row + 1, col);
    });
    resize(760, 480);

    PropSaveMain1 = new TPropSaveMain(this);
    PropSaveMain1->setObjectName(QStringLiteral("PropSaveMain1"));
    PropSaveMain1->PropSaveFile = host_->settingsStore();
    PropSaveMain1->StdCtrl->Components = {QStringLiteral("chAutoLoad")};
    PropSaveMain1->Loaded();
}

TDlgGenData::~TDlgGenData() = default;

void TDlgGenData::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TDlgGenData::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) FormClose();
    QDialog::hideEvent(event);
}

TPropSaveFile* TDlgGenData::store() const {
    return PropSaveMain1->Store();
}

QString TDlgGenData::cell(int row, int col) const {
    const QTableWidgetItem* item = sgGen->item(row - 1, col);
    return item ? item->text() : QString();
}

void TDlgGenData::setCell(int row, int col, const QString& text) {
    QTableWidgetItem* item = sgGen->item(row - 1, col);
    if (!item) sgGen->setItem(row - 1, col, item = new QTableWidgetItem);
    item->setText(text);
}

bool TDlgGenData::sgGenCanEdit(int row, int col) const {
    if (col == colAction) return true;
    if (col < colValue) return false;
    const GenAction action = GenActionOf(cell(row, colAction));
    return col == colValue ? GenUsesValue(action) : GenUsesSource(action);
}

void TDlgGenData::paintRow(int row) {
    const bool was = filling_;
    filling_ = true;
    const QBrush face = palette().button();
    for (int c = 0; c < colCount; ++c) {
        QTableWidgetItem* item = sgGen->item(row - 1, c);
        if (!item) sgGen->setItem(row - 1, c, item = new QTableWidgetItem);
        const bool editable = sgGenCanEdit(row, c);
        item->setFlags(editable ? item->flags() | Qt::ItemIsEditable : item->flags() & ~Qt::ItemIsEditable);
        item->setBackground(editable ? QBrush() : face);
    }
    filling_ = was;
}

std::vector<GenRow> TDlgGenData::gridRows() const {
    std::vector<GenRow> rows;
    for (int r = 1; r <= sgGen->rowCount(); ++r)
        rows.push_back(GenRow{cell(r, colField), cell(r, colType), cell(r, colAction), cell(r, colValue),
                              cell(r, colTable), cell(r, colSourceField)});
    return rows;
}

void TDlgGenData::setGridRows(const std::vector<GenRow>& rows) {
    filling_ = true;
    sgGen->setRowCount(std::max(int(rows.size()), 1));
    for (int r = 1; r <= sgGen->rowCount(); ++r) {
        const GenRow row = size_t(r - 1) < rows.size() ? rows[size_t(r - 1)] : GenRow{};
        setCell(r, colFixed, QString());
        setCell(r, colField, row.fieldName);
        setCell(r, colType, row.fieldType);
        setCell(r, colAction, row.action);
        setCell(r, colValue, row.value);
        setCell(r, colTable, row.tableName);
        setCell(r, colSourceField, row.sourceField);
        paintRow(r);
    }
    filling_ = false;
}

void TDlgGenData::FormShow() {
    lblInfo->hide();
    lblTableName->setText(host_->tableName());
    DemoTables.clear();
    DemoCon.Close();
    DemoCon.ConnectionString = GenDemoConnectionString();
    DemoCon.LoginPrompt = false;
    try {
        DemoCon.Open();
        DemoTables = tableNames(DemoCon);
    } catch (const std::exception& e) {
        DemoCon.Close();
        Messages().exceptionBox(
            QStringLiteral("Connection to database \"%1\" failed.").arg(GenDemoDatabasePath()),
            ExceptionMessage(e));
    }
    OwnTables.clear();
    try {
        if (host_->connection().Connected()) OwnTables = tableNames(host_->connection());
    } catch (const std::exception& e) {
        Messages().error(ExceptionMessage(e));
    }
    TADOQuery& q = host_->dataQuery();
    setGridRows(q.Active() ? GenRowsOf(q) : std::vector<GenRow>{});
    if (chAutoLoad->isChecked()) {
        StringGridData grid;
        if (ReadStringGrid(*store(), GridPSGetKeyString(), grid)) setGridRows(GenRowsOfGrid(grid));
    }
}

void TDlgGenData::FormClose() {
    DemoCon.Close();
}

QString TDlgGenData::GridPSGetKeyString() const {
    return GenSettingsKey(host_->connection().Connected() ? host_->connection().DefaultDatabase() : QString(),
                          host_->tableName());
}

void TDlgGenData::sgGenFinishCellEditing(int row, int col) {
    if (row < 1 || row > sgGen->rowCount()) return;
    if (col == colAction) {
        const GenAction action = GenActionOf(cell(row, colAction));
        filling_ = true;
        if (GenUsesValue(action)) {
            setCell(row, colTable, QString());
            setCell(row, colSourceField, QString());
        } else {
            setCell(row, colValue, QString());
            // A source table of the chosen database stays with its field.
            if (!GenUsesSource(action) ||
                !containsName(GenFromDemo(action) ? DemoTables : OwnTables, cell(row, colTable))) {
                setCell(row, colTable, QString());
                setCell(row, colSourceField, QString());
            }
        }
        filling_ = false;
        paintRow(row);
    } else if (col == colTable) {
        const QStringList fields = sgGenPicklist(row, colSourceField);
        filling_ = true;
        setCell(row, colSourceField, fields.isEmpty() ? QString() : fields.first());
        filling_ = false;
    }
}

QStringList TDlgGenData::sgGenPicklist(int row, int col) {
    if (col == colAction) return GenActionNames();
    const GenAction action = GenActionOf(cell(row, colAction));
    if (!GenUsesSource(action)) return {};
    if (col == colTable) return GenFromDemo(action) ? DemoTables : OwnTables;
    if (col != colSourceField || cell(row, colTable).isEmpty()) return {};
    TADOConnection& con = GenFromDemo(action) ? DemoCon : host_->connection();
    try {
        if (con.Connected()) return GenSourceFields(con, cell(row, colTable));
    } catch (const std::exception&) {
        // A table that is not there offers no fields; the run names it.
    }
    return {};
}

void TDlgGenData::btSaveSetClick() {
    StringGridData grid = GenGridOf(gridRows());
    for (int c = 0; c < colCount; ++c)
        grid.colWidths[size_t(c)] = sgGen->columnWidth(c);
    for (int r = 1; r <= sgGen->rowCount(); ++r)
        grid.rowHeights[size_t(r)] = sgGen->rowHeight(r - 1);
    WriteStringGrid(*store(), GridPSGetKeyString(), grid);
}

void TDlgGenData::btLoadClick() {
    StringGridData grid;
    if (!ReadStringGrid(*store(), GridPSGetKeyString(), grid)) return;
    setGridRows(GenRowsOfGrid(grid));
    for (int c = 0; c < colCount && size_t(c) < grid.colWidths.size(); ++c)
        sgGen->setColumnWidth(c, grid.colWidths[size_t(c)]);
}

void TDlgGenData::btOpenDBClick() {
    if (!ShellOpen(GenDemoDatabasePath()))
        Messages().error(QStringLiteral("Cannot open file \"%1\".").arg(GenDemoDatabasePath()));
}

void TDlgGenData::btGenerateClick() {
    lblInfo->hide();
    if (!host_->commitEdits()) return;
    TADOQuery& q = host_->dataQuery();
    TestDataGenerator gen(q, host_->connection(), DemoCon.Connected() ? &DemoCon : nullptr);
    gen.rows = gridRows();
    gen.insert = rbInsert->isChecked();
    gen.count = eRecNum->value();
    gen.progressOver = this;
    gen.OnRecordError = [](const QString& message) {
        Messages().exceptionBox(QString(), message);
        return Messages().question(QStringLiteral("Continue?")) == MsgAnswer::Yes ? GenErrorAnswer::Retry
                                                                                  : GenErrorAnswer::Stop;
    };
    GenResult result;
    try {
        HourglassCursor hourglass;
        result = gen.Run();
    } catch (const std::exception& e) {
        setGridRows(gen.rows);
        host_->dataQueryChanged();
        Messages().error(ExceptionMessage(e));
        return;
    }
    setGridRows(gen.rows); // "increment from" shows the next value
    host_->dataQueryChanged();
    lblInfo->setText(TestDataGenerator::ResultText(gen.insert, result.records));
    lblInfo->show();
}
