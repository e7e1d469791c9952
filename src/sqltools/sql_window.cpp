#include "sql_window.h"

#include "connection.h"
#include "cursor_guard.h"
#include "html_label.h"
#include "messages.h"
#include "prop_save_main.h"
#include "query.h"
#include "schema_rowsets.h"
#include "sql_batches.h"
#include "sql_highlighter.h"
#include "sql_names.h"
#include "sql_templates.h"
#include "sql_tool_host.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

namespace {
template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

// One column of a schema rowset, in the provider's order.
QStringList schemaColumn(TADOConnection& con, int kind, const QVariantList& restrictions,
                         const char* column) {
    TADOQuery q(&con);
    con.OpenSchema(kind, restrictions, q);
    QStringList names;
    TField* f = q.FieldByName(QLatin1String(column));
    for (q.First(); !q.Eof(); q.Next())
        names << f->AsString();
    return names;
}
} // namespace

TDlgEditMemo::TDlgEditMemo(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TDlgEditMemo"));
    setWindowTitle(QStringLiteral("Edit"));
    auto* layout = new QVBoxLayout(this);
    Memo = named(new QPlainTextEdit, "Memo");
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(Memo, 1);
    auto* buttons = new QDialogButtonBox;
    btOk = named(buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole), "btOk");
    btCancel = named(buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole), "btCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(520, 360);
}

TDlgGenSQL::TDlgGenSQL(SqlToolHost* host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName(QStringLiteral("TDlgGenSQL"));
    setWindowTitle(QStringLiteral("SQL command generator"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setMinimumSize(720, 540);
    auto* root = new QVBoxLayout(this);

    auto* lists = new QGridLayout;
    pc = named(new QTabBar, "pc");
    pc->addTab(QStringLiteral("Tables"));
    pc->addTab(QStringLiteral("Views"));
    lists->addWidget(pc, 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("Fields of selected table:")), 0, 1);
    lblCmd = named(new TkHTMLLabel, "kHTMLLabel4");
    lblCmd->setCaptionStrings(QStringLiteral("SQL templates: <A Name=Edit>Edit</A>"));
    lblCmd->OnAnchorClick = [this](TkHTMLLabel*, const QString&) {
        guarded([this] { kHTMLLabel4AnchorClick(); });
    };
    lists->addWidget(lblCmd, 0, 2);
    lbTables = named(new QListWidget, "lbTables");
    lbFields = named(new QListWidget, "lbFields");
    lbFields->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lbCmd = named(new QListWidget, "lbCmd");
    lbCmd->addItems(DefaultSqlTemplates());
    lists->addWidget(lbTables, 1, 0);
    lists->addWidget(lbFields, 1, 1);
    lists->addWidget(lbCmd, 1, 2);
    lists->setColumnStretch(0, 1);
    lists->setColumnStretch(1, 1);
    lists->setColumnStretch(2, 2);

    auto* findRow = new QHBoxLayout;
    findRow->addWidget(new QLabel(QStringLiteral("Find:")));
    eFind = named(new QLineEdit, "eFind");
    QAction* clearFind =
        eFind->addAction(style()->standardIcon(QStyle::SP_LineEditClearButton), QLineEdit::TrailingPosition);
    clearFind->setObjectName(QStringLiteral("eFindRightButton"));
    findRow->addWidget(eFind, 1);
    lists->addLayout(findRow, 2, 0);
    chNewLine = named(new QCheckBox(QStringLiteral("Insert linebreak")), "chNewLine");
    lists->addWidget(chNewLine, 2, 1);
    btAddTbl = named(new QPushButton(QStringLiteral("Insert table name")), "btAddTbl");
    btAddFld = named(new QPushButton(QStringLiteral("Insert list of selected fields")), "btAddFld");
    btAddCmd =
        named(new QPushButton(QStringLiteral("Insert command according selected template")), "btAddCmd");
    lists->addWidget(btAddTbl, 3, 0);
    lists->addWidget(btAddFld, 3, 1);
    lists->addWidget(btAddCmd, 3, 2);
    root->addLayout(lists, 2);

    root->addWidget(new QLabel(QStringLiteral("SQL command:")));
    mSQL = named(new QPlainTextEdit, "mSQL");
    mSQL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mSQL->setFont(QFont(QStringLiteral("Monospace")));
    root->addWidget(mSQL, 3);
    auto* run = new QHBoxLayout;
    btExecSql = named(new QPushButton(QStringLiteral("Run command")), "btExecSql");
    btClear = named(new QPushButton(QStringLiteral("Clear all")), "btClear");
    btUndo = named(new QPushButton(QStringLiteral("Undo step")), "btUndo");
    btClose = named(new QPushButton(QStringLiteral("Close")), "btClose");
    lblRunInfo = named(new TkHTMLLabel, "lblRunInfo");
    lblRunInfo->hide();
    run->addWidget(btExecSql);
    run->addWidget(lblRunInfo, 1);
    run->addWidget(btClear);
    run->addWidget(btUndo);
    run->addWidget(btClose);
    root->addLayout(run);

    // FormCreate: the highlight words.
    highlighter_ = new SqlHighlighter(mSQL->document());
    highlighter_->addWords(ReservedWordList(), Qt::blue);

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(500);
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(pc, &QTabBar::currentChanged, this, [this] { pcChange(); });
    connect(eFind, &QLineEdit::textEdited, this, [this] { eFindChange(); });
    connect(clearFind, &QAction::triggered, this, [this] { eFindRightButtonClick(); });
    connect(lbTables, &QListWidget::currentRowChanged, this,
            [this] { guarded([this] { lbTablesClick(); }); });
    connect(btAddTbl, &QPushButton::clicked, this, [this] { btAddTblClick(); });
    connect(lbTables, &QListWidget::itemDoubleClicked, this, [this] { btAddTblClick(); });
    connect(btAddFld, &QPushButton::clicked, this, [this] { btAddFldClick(); });
    connect(lbFields, &QListWidget::itemDoubleClicked, this, [this] { btAddFldClick(); });
    connect(btAddCmd, &QPushButton::clicked, this, [this] { btAddCmdClick(); });
    connect(lbCmd, &QListWidget::itemDoubleClicked, this, [this] { btAddCmdClick(); });
    connect(btClear, &QPushButton::clicked, this, [this] { btClearClick(); });
    connect(btUndo, &QPushButton::clicked, this, [this] { btUndoClick(); });
    connect(btClose, &QPushButton::clicked, this, &QDialog::close);
    connect(btExecSql, &QPushButton::clicked, this, [this] { guarded([this] { btExecSqlClick(); }); });
    resize(900, 680);

    PropSaveMain1 = new TPropSaveMain(this);
    PropSaveMain1->setObjectName(QStringLiteral("PropSaveMain1"));
    PropSaveMain1->PropSaveFile = host_->settingsStore();
    PropSaveMain1->Loaded();
}

bool TDlgGenSQL::event(QEvent* e) {
    const bool handled = QDialog::event(e);
    if (e->type() == QEvent::Show && !e->spontaneous()) {
        // Filled when shown too: without a window manager the window may never be activated.
        shownFresh_ = true;
        guarded([this] { FormActivate(); });
    } else if (e->type() == QEvent::WindowActivate) {
        // The box of a failed reload activates the window again when it closes: do not reload into
        // the same failure over and over.
        if (shownFresh_)
            shownFresh_ = false; // just filled
        else if (skipActivate_)
            skipActivate_ = false;
        else
            guarded([this] { FormActivate(); });
    }
    return handled;
}

void TDlgGenSQL::guarded(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        skipActivate_ = true;
        Messages().error(ExceptionMessage(e));
    }
}

const Dialect& TDlgGenSQL::dialect() const {
    static const Dialect mssql(DialectKind::MSSQL);
    TADOConnection& con = host_->connection();
    return con.Connected() ? con.dialect() : mssql;
}

void TDlgGenSQL::FormActivate() {
    HourglassCursor wait;
    mTables.clear();
    mQueries.clear();
    TADOConnection& con = host_->connection();
    if (con.Connected()) {
        mTables = schemaColumn(con, siTables, {QVariant(), QVariant(), QVariant(), QStringLiteral("TABLE")},
                               "TABLE_NAME");
        mQueries = schemaColumn(con, siTables, {QVariant(), QVariant(), QVariant(), QStringLiteral("VIEW")},
                                "TABLE_NAME");
    }
    {
        const QSignalBlocker block(pc);
        pc->setCurrentIndex(0);
    }
    applyFilter();
    mSQL->moveCursor(QTextCursor::End);
}

void TDlgGenSQL::applyFilter() {
    Timer1.stop();
    const QSignalBlocker block(lbTables);
    lbTables->clear();
    lbTables->addItems(FilterNames(pc->currentIndex() == 1 ? mQueries : mTables, eFind->text()));
}

void TDlgGenSQL::pcChange() {
    applyFilter();
}

void TDlgGenSQL::eFindChange() {
    Timer1.start(); // restarts: the filter follows 500 ms after the last change
}

void TDlgGenSQL::Timer1Timer() {
    applyFilter();
}

void TDlgGenSQL::eFindRightButtonClick() {
    eFind->clear();
    applyFilter();
}

void TDlgGenSQL::lbTablesClick() {
    SelTbl.clear();
    lbFields->clear();
    QListWidgetItem* item = lbTables->currentItem();
    if (!item) return;
    HourglassCursor wait;
    SelTbl = item->text();
    QStringList fields =
        schemaColumn(host_->connection(), siColumns, {QVariant(), QVariant(), SelTbl}, "COLUMN_NAME");
    fields.prepend(QStringLiteral("*"));
    lbFields->addItems(fields);
    lbFields->setCurrentRow(0);
}

QStringList TDlgGenSQL::selectedFields() const {
    QStringList fields;
    for (int i = 0; i < lbFields->count(); ++i)
        if (lbFields->item(i)->isSelected()) fields << lbFields->item(i)->text();
    return fields;
}

void TDlgGenSQL::insert(const QString& text) {
    // One edit block: "Undo step" takes back one insertion.
    QTextCursor cursor = mSQL->textCursor();
    cursor.beginEditBlock();
    cursor.insertText(InsertionText(text, chNewLine->isChecked()));
    cursor.endEditBlock();
    mSQL->setTextCursor(cursor);
    mSQL->setFocus();
}

void TDlgGenSQL::btAddTblClick() {
    insert(QuoteTableName(SelTbl, dialect()));
}

void TDlgGenSQL::btAddFldClick() {
    insert(QuotedFieldList(selectedFields(), dialect()));
}

void TDlgGenSQL::btAddCmdClick() {
    QListWidgetItem* item = lbCmd->currentItem();
    if (!item) return;
    insert(ExpandSqlTemplate(item->text(), SelTbl, selectedFields(), dialect()));
}

void TDlgGenSQL::kHTMLLabel4AnchorClick() {
    TDlgEditMemo dlg(this);
    QStringList lines;
    for (int i = 0; i < lbCmd->count(); ++i)
        lines << lbCmd->item(i)->text();
    dlg.Memo->setPlainText(lines.join('\n'));
    const int result = OnEditTemplates ? OnEditTemplates(dlg) : dlg.exec();
    if (result != QDialog::Accepted) return;
    lbCmd->clear();
    // Blank lines would be templates that insert nothing but a blank.
    for (const QString& line : dlg.Memo->toPlainText().split('\n'))
        if (!line.trimmed().isEmpty()) lbCmd->addItem(line);
}

void TDlgGenSQL::btClearClick() {
    mSQL->clear();
}

void TDlgGenSQL::btUndoClick() {
    mSQL->undo();
}

void TDlgGenSQL::btExecSqlClick() {
    const QString text = mSQL->toPlainText();
    if (text.trimmed().isEmpty() || !host_->commitEdits()) return;
    TADOQuery& q = host_->dataQuery();
    q.Close();
    // A filter or order made for the table loaded before does not belong to the user's query.
    q.setFilter(QString());
    q.setFiltered(false);
    q.setSort(QString());
    q.SQL = text;
    qint64 result = 0;
    // The result line tells how the last run ended: a failure never leaves an older "Ok" showing.
    lblRunInfo->setCaptionStrings(QStringLiteral("Error"));
    lblRunInfo->show();
    if (IsRowQuery(text)) {
        host_->clearTableSelection();
        const auto refresh = qScopeGuard([this] { host_->dataQueryChanged(); });
        q.Open();
        result = q.Active() ? q.RecordCount() : 0;
    } else {
        host_->dataQueryChanged();
        HourglassCursor wait;
        result = RunSqlBatches(host_->connection(), text);
    }
    lblRunInfo->setCaptionStrings(QStringLiteral("Ok<BR>%1 records").arg(result));
}
