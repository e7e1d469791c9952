#include "script_window.h"

#include "connection.h"
#include "field_list.h"
#include "messages.h"
#include "progress.h"
#include "prop_save_main.h"
#include "query.h"
#include "script_generator.h"
#include "sql_highlighter.h"
#include "sql_tool_host.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QLabel* link(const char* name, const QString& text) {
    auto* l = named(new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(text)), name);
    l->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    return l;
}

void checkAll(QListWidget* list, bool on) {
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

QStringList checkedNames(const QListWidget* list) {
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked) names << list->item(i)->text();
    return names;
}

void fill(QListWidget* list, const QStringList& names, bool checked) {
    list->clear();
    for (const QString& n : names) {
        auto* item = new QListWidgetItem(n, list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
}

// The script as the text area shows it, one line break per line; a long run shows the progress
// window whose "Abort" stops it between two records.
class ScriptTextSink : public SqlTextSink {
public:
    ScriptTextSink(QString& text, int records, QWidget* over) : text_(text), records_(records), over_(over) {}
    void add(std::string_view entry) override {
        QString s = QString::fromUtf8(entry.data(), qsizetype(entry.size()));
        s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text_ += s;
        text_ += QLatin1Char('\n');
        if (records_ < TScript::kProgressFromRows || ++entries_ % 500 != 0) return;
        ProgressWindow(
            QStringLiteral("Generating SQL script... %1 of %2 records").arg(entries_).arg(records_),
            ProgressPercent(entries_, records_), [this] { aborted_ = true; }, over_);
        if (aborted_) throw EAbort();
    }

private:
    QString& text_;
    int records_;
    QWidget* over_;
    int entries_ = 0;
    bool aborted_ = false;
};
} // namespace

TScript::TScript(SqlToolHost* host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName(QStringLiteral("TScript"));
    setWindowTitle(QStringLiteral("Generate SQL script"));
    auto* root = new QHBoxLayout(this);

    auto* left = new QVBoxLayout;
    auto listBlock = [&](const QString& caption, QListWidget*& list, const char* name, QLabel*& none,
                         const char* noneName, QLabel*& all, const char* allName) {
        auto* head = new QHBoxLayout;
        head->addWidget(new QLabel(caption), 1);
        none = link(noneName, QStringLiteral("None"));
        all = link(allName, QStringLiteral("All"));
        head->addWidget(none);
        head->addWidget(all);
        left->addLayout(head);
        list = named(new QListWidget, name);
        left->addWidget(list, 1);
        connect(none, &QLabel::linkActivated, this, [list] { checkAll(list, false); });
        connect(all, &QLabel::linkActivated, this, [list] { checkAll(list, true); });
    };
    listBlock(QStringLiteral("Value fields:"), chbFldList, "chbFldList", lblFldNone, "lblFldNone", lblFldAll,
              "lblFldAll");
    listBlock(QStringLiteral("Key fields:"), chbKeyFldList, "chbKeyFldList", lblKeyNone, "lblKeyNone",
              lblKeyAll, "lblKeyAll");

    auto* typeBox = named(new QGroupBox(QStringLiteral("Type of script")), "gbType");
    auto* typeLayout = new QVBoxLayout(typeBox);
    rbInsert = named(new QRadioButton(QStringLiteral("INSERT  script")), "rbInsert");
    rbUpdate = named(new QRadioButton(QStringLiteral("UPDATE script")), "rbUpdate");
    typeLayout->addWidget(rbInsert);
    typeLayout->addWidget(rbUpdate);
    rgType = named(new QButtonGroup(this), "rgType");
    rgType->addButton(rbInsert, 0);
    rgType->addButton(rbUpdate, 1);
    rbInsert->setChecked(true);
    left->addWidget(typeBox);

    left->addWidget(new QLabel(QStringLiteral("Add after each record:")));
    cbAdd = named(new QComboBox, "cbAdd");
    cbAdd->setEditable(true);
    cbAdd->setInsertPolicy(QComboBox::NoInsert);
    cbAdd->addItem(QStringLiteral("#13#10 GO"));
    cbAdd->setCurrentIndex(-1);
    cbAdd->setEditText(QString());
    left->addWidget(cbAdd);
    chGenIdInsert = named(new QCheckBox(QStringLiteral("Generate IDENTITY_INSERT")), "chGenIdInsert");
    chGenDelAll = named(new QCheckBox(QStringLiteral("Generate DELETE ALL")), "chGenDelAll");
    chCopy = named(new QCheckBox(QStringLiteral("Copy result to clipboard")), "chCopy");
    chCopy->setChecked(true);
    left->addWidget(chGenIdInsert);
    left->addWidget(chGenDelAll);
    left->addWidget(chCopy);
    auto* buttons = new QHBoxLayout;
    btGen = named(new QPushButton(QStringLiteral("Generate SQL")), "btGen");
    btClose = named(new QPushButton(QStringLiteral("Close")), "btClose");
    btGen->setDefault(true);
    buttons->addWidget(btGen);
    buttons->addWidget(btClose);
    left->addLayout(buttons);
    root->addLayout(left);

    mSQL = named(new QPlainTextEdit, "mSQL");
    mSQL->setLineWrapMode(QPlainTextEdit::NoWrap);
    mSQL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mSQL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mSQL->setFont(QFont(QStringLiteral("Monospace")));
    root->addWidget(mSQL, 1);
    highlighter_ = new SqlHighlighter(mSQL->document());
    highlighter_->addWords({"INSERT", "INTO", "VALUES", "UPDATE", "SET", "WHERE"}, Qt::blue);
    highlighter_->addWords({"null"}, Qt::gray);
    highlighter_->setStringColor(Qt::red);

    connect(btGen, &QPushButton::clicked, this, [this] { btGenClick(); });
    connect(btClose, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects too
    resize(860, 600);

    PropSaveMain1 = new TPropSaveMain(this);
    PropSaveMain1->setObjectName(QStringLiteral("PropSaveMain1"));
    PropSaveMain1->PropSaveFile = host_->settingsStore();
    PropSaveMain1->StdCtrl->Components = {QStringLiteral("rgType"), QStringLiteral("chCopy"),
                                          QStringLiteral("chGenIdInsert"), QStringLiteral("chGenDelAll")};
    PropSaveMain1->Loaded();
}

void TScript::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TScript::FormShow() {
    QStringList names;
    TADOQuery& q = host_->dataQuery();
    if (q.Active()) FieldList(q, names, floPlain | floMemo);
    fill(chbFldList, names, true);
    fill(chbKeyFldList, names, false);
    // A script of other rows than those loaded now is not shown over their field lists.
    if (scriptSource_ != host_->tableName() + '\n' + q.SQL) mSQL->clear();
}

void TScript::btGenClick() {
    if (!host_->commitEdits()) return;
    mSQL->clear();
    ScriptSettings settings;
    settings.type = rbUpdate->isChecked() ? ScriptType::Update : ScriptType::Insert;
    settings.keyFields = checkedNames(chbKeyFldList);
    settings.valueFields = checkedNames(chbFldList);
    settings.addAfterEach = cbAdd->currentText();
    settings.generateDeleteAll = chGenDelAll->isChecked();
    settings.generateIdentityInsert = chGenIdInsert->isChecked();
    TADOQuery& q = host_->dataQuery();
    scriptSource_ = host_->tableName() + '\n' + q.SQL;
    QString text;
    bool complete = false;
    try {
        if (!q.Active()) throw Exception(QStringLiteral("No data is loaded."));
        const Dialect& dialect = host_->connection().dialect();
        ProgressScope progress;
        ScriptTextSink sink(text, q.RecordCount(), this);
        GenerateSqlScript(q, host_->tableName(), settings, dialect, sink);
        complete = true;
    } catch (const EScriptWarning& e) {
        Messages().warning(e.Message);
        return;
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        // What was produced before the failure stays visible; nothing is copied.
        mSQL->setPlainText(text);
        Messages().error(ExceptionMessage(e));
        return;
    }
    mSQL->setPlainText(text);
    if (complete && chCopy->isChecked()) QApplication::clipboard()->setText(mSQL->toPlainText());
}
