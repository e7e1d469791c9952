#include "find_form.h"

#include "comp_config.h"
#include "cursor_guard.h"
#include "db_grid.h"
#include "find_search.h"
#include "messages.h"
#include "prop_save_file.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QVBoxLayout>

TkDBFindCfg& FindConfig() {
    static TkDBFindCfg cfg;
    return cfg;
}

namespace {
const char* const kOptCaptions[3] = {"Whole field", "Beginning of field", "Any part of field"};
}

TkDBFindForm::TkDBFindForm(TkDBGrid* grid, bool sorted, QWidget* parent)
    : QDialog(parent), Sorted(sorted), grid_(grid) {
    setObjectName(QStringLiteral("kDBFindForm"));
    setWindowTitle(QStringLiteral("Find record"));
    eText = new QComboBox;
    eText->setEditable(true);
    eText->setInsertPolicy(QComboBox::NoInsert);
    eText->setObjectName(QStringLiteral("eText"));
    btClearHist = new QPushButton(QStringLiteral("Delete history"));
    btClearHist->setFlat(true);
    lbLabels = new QListWidget;
    lbLabels->setSelectionMode(QAbstractItemView::MultiSelection);
    lbLabels->setToolTip(QStringLiteral("Fields to be searched"));
    btSelAll = new QPushButton(QStringLiteral("Select all"));
    btSort = new QPushButton(QStringLiteral("Sort"));
    btUp = new QPushButton(QStringLiteral("\u25B2"));
    btUp->setToolTip(QStringLiteral("Move selected field up"));
    btDown = new QPushButton(QStringLiteral("\u25BC"));
    btDown->setToolTip(QStringLiteral("Move selected field down"));
    auto* opt = new QGroupBox(QStringLiteral(" Compare: "));
    opt->setToolTip(QStringLiteral("Type of comparison"));
    auto* optLayout = new QVBoxLayout(opt);
    for (int i = 0; i < 3; ++i) {
        rgOpt[i] = new QRadioButton(QString::fromLatin1(kOptCaptions[i]));
        optLayout->addWidget(rgOpt[i]);
    }
    cbCase = new QCheckBox(QStringLiteral("Case sensitive"));
    cbDelQuotes = new QCheckBox(QStringLiteral("Delete quotes"));
    chIgnoreDiacritics = new QCheckBox(QStringLiteral("Ignore diacritics"));
    chShowMsg = new QCheckBox(QStringLiteral("Show warning if no record found"));
    chCloseFound = new QCheckBox(QStringLiteral("Close dialog when record is found"));
    btFind = new QPushButton(QStringLiteral("Find"));
    btFind->setToolTip(QStringLiteral("Start searching"));
    btFind->setDefault(true);
    btFindNext = new QPushButton(QStringLiteral("Find next"));
    btFindNext->setToolTip(QStringLiteral("Find next"));
    btFindPrev = new QPushButton(QStringLiteral("Previous"));
    btClose = new QPushButton(QStringLiteral("Close"));
    btClose->setToolTip(QStringLiteral("Close form"));
    btClose->setAutoDefault(false);
    lblResult = new QLabel;
    QFont bold = lblResult->font();
    bold.setBold(true);
    lblResult->setFont(bold);
    mInfo = new QPlainTextEdit;
    mInfo->setReadOnly(true);
    mInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* textRow = new QHBoxLayout;
    textRow->addWidget(eText, 1);
    textRow->addWidget(btClearHist);
    auto* listButtons = new QVBoxLayout;
    for (QPushButton* b : {btSelAll, btSort, btUp, btDown})
        listButtons->addWidget(b);
    listButtons->addStretch();
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(lbLabels, 1);
    listRow->addLayout(listButtons);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Find value:")));
    left->addLayout(textRow);
    left->addWidget(new QLabel(QStringLiteral("in fields:")));
    left->addLayout(listRow, 1);
    left->addWidget(opt);
    for (QCheckBox* c : {cbCase, cbDelQuotes, chIgnoreDiacritics, chShowMsg, chCloseFound})
        left->addWidget(c);
    auto* right = new QVBoxLayout;
    for (QPushButton* b : {btFind, btFindNext, btFindPrev, btClose})
        right->addWidget(b);
    right->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right);
    auto* l = new QVBoxLayout(this);
    l->addLayout(top, 1);
    l->addWidget(lblResult);
    l->addWidget(mInfo);

    const TkDBFindCfg& cfg = FindConfig();
    rgOpt[qBound(0, cfg.LastOptIndex, 2)]->setChecked(true);
    cbCase->setChecked(cfg.LastCaseSens);
    eText->setEditText(cfg.LastFindStr);
    btFindNext->setEnabled(!cfg.LastFindStr.isEmpty());
    btFindPrev->setEnabled(false);

    connect(btFind, &QPushButton::clicked, this, [this] { search(First); });
    connect(btFindNext, &QPushButton::clicked, this, [this] { search(Next); });
    connect(btFindPrev, &QPushButton::clicked, this, [this] { search(Previous); });
    connect(btClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(btSelAll, &QPushButton::clicked, this, [this] { selectAll(); });
    connect(btSort, &QPushButton::clicked, this, [this] { sortList(); });
    connect(btUp, &QPushButton::clicked, this, [this] { moveCurrent(-1); });
    connect(btDown, &QPushButton::clicked, this, [this] { moveCurrent(+1); });
    connect(btClearHist, &QPushButton::clicked, this, [this] {
        const QString text = eText->currentText();
        eText->clear();
        eText->setEditText(text);
    });
}

TkDBFindForm::~TkDBFindForm() {
    TkDBFindCfg& cfg = FindConfig();
    cfg.LastOptIndex = optIndex();
    cfg.LastCaseSens = cbCase->isChecked();
    cfg.LastFindStr = eText->currentText();
}

int TkDBFindForm::optIndex() const {
    for (int i = 0; i < 3; ++i)
        if (rgOpt[i]->isChecked()) return i;
    return 2;
}

QString TkDBFindForm::section() const {
    return objectName();
}

QString TkDBFindForm::gridKey() const {
    const QObject* owner = grid_ ? grid_->window() : nullptr;
    return objectName() + '.' + (owner ? owner->objectName() : QString()) + '.' +
           (grid_ ? grid_->objectName() : QString());
}

void TkDBFindForm::fillList() {
    lbLabels->clear();
    names_.clear();
    for (int c = 0; grid_ && c < grid_->model()->columnCount(); ++c) {
        const int logical = grid_->horizontalHeader()->logicalIndex(c);
        TField* f = grid_->fieldOfColumn(logical);
        if (grid_->isColumnHidden(logical) || !f || !(IsPlainField(*f) || IsMemoField(*f))) continue;
        lbLabels->addItem(grid_->GetTitleText(logical));
        names_ << f->FieldName;
    }
    lbLabels->selectAll();
}

void TkDBFindForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) return;
    shown_ = true;
    lblResult->clear();
    mInfo->clear();
    fillList();
    if (Sorted) sortList();
    readSettings();
    lbLabels->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    eText->setFocus();
}

void TkDBFindForm::readSettings() {
    TPropSaveFile* store = VemoCompConfig().Global_PropSaveFile;
    if (!store) return;
    QStringList history;
    store->ReadStrings(gridKey() + QStringLiteral(".eText"), history);
    if (!history.isEmpty()) {
        const QString text = eText->currentText();
        eText->addItems(history);
        eText->setEditText(text);
    }
    const int opt =
        store->ReadInteger(gridKey() + QStringLiteral(".rgOpt"), QStringLiteral("ItemIndex"), optIndex());
    rgOpt[qBound(0, opt, 2)]->setChecked(true);
    const QString s = section();
    cbCase->setChecked(store->ReadBool(s, QStringLiteral("cbCase"), cbCase->isChecked()));
    if (FindConfig().ShowDelQuotes)
        cbDelQuotes->setChecked(store->ReadBool(s, QStringLiteral("cbDelQuotes"), cbDelQuotes->isChecked()));
    chCloseFound->setChecked(store->ReadBool(s, QStringLiteral("chCloseFound"), chCloseFound->isChecked()));
    chShowMsg->setChecked(store->ReadBool(s, QStringLiteral("chShowMsg"), chShowMsg->isChecked()));
    if (VemoCompConfig().DontStoreFieldDependentSettings) return;
    QStringList order, selected;
    store->ReadStrings(gridKey() + QStringLiteral(".Order"), order);
    store->ReadStrings(gridKey() + QStringLiteral(".Selected"), selected);
    // The stored order first, the fields it does not know after them in their order.
    int front = 0;
    for (const QString& name : order) {
        const int at = names_.indexOf(name, 0);
        if (at < front) continue;
        QListWidgetItem* it = lbLabels->takeItem(at);
        lbLabels->insertItem(front, it);
        it->setSelected(true);
        names_.move(at, front++);
    }
    if (!selected.isEmpty())
        for (int i = 0; i < names_.size(); ++i)
            lbLabels->item(i)->setSelected(selected.contains(names_[i], Qt::CaseInsensitive));
}

void TkDBFindForm::saveSettings() {
    TPropSaveFile* store = VemoCompConfig().Global_PropSaveFile;
    if (!store || saved_) return;
    saved_ = true;
    QStringList history;
    for (int i = 0; i < eText->count(); ++i)
        history << eText->itemText(i);
    store->WriteStrings(gridKey() + QStringLiteral(".eText"), history);
    store->WriteInteger(gridKey() + QStringLiteral(".rgOpt"), QStringLiteral("ItemIndex"), optIndex());
    const QString s = section();
    store->WriteBool(s, QStringLiteral("cbCase"), cbCase->isChecked());
    store->WriteBool(s, QStringLiteral("cbDelQuotes"), cbDelQuotes->isChecked());
    store->WriteBool(s, QStringLiteral("chCloseFound"), chCloseFound->isChecked());
    store->WriteBool(s, QStringLiteral("chShowMsg"), chShowMsg->isChecked());
    if (VemoCompConfig().DontStoreFieldDependentSettings) return;
    QStringList selected;
    for (int i = 0; i < names_.size(); ++i)
        if (lbLabels->item(i)->isSelected()) selected << names_[i];
    store->WriteStrings(gridKey() + QStringLiteral(".Order"), names_);
    store->EraseSection(gridKey() + QStringLiteral(".Selected"));
    store->WriteStrings(gridKey() + QStringLiteral(".Selected"), selected);
}

void TkDBFindForm::done(int result) {
    saveSettings();
    QDialog::done(result);
}

void TkDBFindForm::sortList() {
    for (int i = 0; i < lbLabels->count(); ++i) {
        int best = i;
        for (int j = i + 1; j < lbLabels->count(); ++j)
            if (QString::localeAwareCompare(lbLabels->item(j)->text().toUpper(),
                                            lbLabels->item(best)->text().toUpper()) < 0)
                best = j;
        if (best == i) continue;
        const bool sel = lbLabels->item(best)->isSelected();
        QListWidgetItem* it = lbLabels->takeItem(best);
        lbLabels->insertItem(i, it);
        it->setSelected(sel);
        names_.move(best, i);
    }
    lbLabels->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

void TkDBFindForm::moveCurrent(int delta) {
    const int from = lbLabels->currentRow();
    const int to = from + delta;
    if (from < 0 || to < 0 || to >= lbLabels->count()) return;
    const bool sel = lbLabels->item(from)->isSelected();
    QListWidgetItem* it = lbLabels->takeItem(from);
    lbLabels->insertItem(to, it);
    it->setSelected(sel);
    names_.move(from, to);
    lbLabels->setCurrentRow(to, QItemSelectionModel::NoUpdate);
}

void TkDBFindForm::selectAll() {
    lbLabels->selectAll();
    lbLabels->setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

bool TkDBFindForm::search(Direction direction) {
    TDataSet* ds = grid_ ? grid_->dataSet() : nullptr;
    if (!ds || !ds->Active()) return false;
    if (!grid_->CommitEdit()) return false;
    ds->CheckBrowseMode();
    QString text = eText->currentText();
    if (cbDelQuotes->isChecked()) {
        text.remove('"');
        eText->setEditText(text);
    }
    if (eText->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        QStringList items;
        for (int i = 0; i < eText->count(); ++i)
            items << eText->itemText(i);
        items << text;
        items.sort(Qt::CaseInsensitive);
        eText->clear();
        eText->addItems(items);
        eText->setEditText(text);
    }
    const bool nextWas = btFindNext->isEnabled(), prevWas = btFindPrev->isEnabled();
    for (QPushButton* b : {btFind, btFindNext, btFindPrev})
        b->setEnabled(false);
    lblResult->setText(QStringLiteral("Searching..."));
    mInfo->clear();
    mInfo->setExtraSelections({});

    FindOptions opt;
    opt.text = text;
    opt.match = FindMatch(optIndex());
    opt.caseSensitive = cbCase->isChecked();
    opt.ignoreDiacritics = chIgnoreDiacritics->isChecked();
    QList<TField*> fields;
    QList<int> entries;
    for (int i = 0; i < names_.size(); ++i)
        if (lbLabels->item(i)->isSelected())
            if (TField* f = ds->FindField(names_[i])) {
                fields << f;
                entries << i;
            }
    const bool forward = direction != Previous;
    const int from = direction == First ? 0 : ds->currentPosition() + (forward ? 1 : -1);
    FindHit hit;
    {
        HourglassCursor wait;
        if (!fields.isEmpty() && ds->currentPosition() >= 0)
            hit = FindInDataSet(*ds, fields, opt, from, forward);
        // One move: the record found, or where a scan without a match ends.
        const int target = hit.position >= 0 ? hit.position : (forward ? ds->RecordCount() - 1 : 0);
        if (ds->RecordCount() > 0 && target != ds->currentPosition()) ds->setRecNo(target + 1);
    }
    const bool found = hit.position >= 0;
    FoundIndex = found ? entries[hit.fieldIndex] : -1;
    FoundFieldText = found ? FindValueText(*ds, fields[hit.fieldIndex], hit.position) : QString();
    if (!found) {
        lblResult->setText(QStringLiteral("Not found"));
        if (chShowMsg->isChecked()) Messages().warning(QStringLiteral("Not found"));
    } else {
        lblResult->setText(
            QStringLiteral("%1. %2:").arg(QStringLiteral("Found"), lbLabels->item(FoundIndex)->text()));
        showFound(text);
    }
    btFind->setEnabled(true);
    btFindNext->setEnabled(found || (direction == Previous && nextWas));
    btFindPrev->setEnabled(found || (direction != Previous && prevWas));
    eText->lineEdit()->selectAll();
    eText->setFocus();
    if (found) {
        (direction == Previous ? btFindPrev : btFindNext)->setFocus();
        if (chCloseFound->isChecked()) accept();
        if (FindConfig().OnFoundEvent) FindConfig().OnFoundEvent(grid_);
    }
    return found;
}

void TkDBFindForm::showFound(const QString& text) {
    mInfo->setPlainText(FoundFieldText);
    if (FoundFieldText.compare(text, Qt::CaseInsensitive) == 0 || text.isEmpty()) return;
    QList<QTextEdit::ExtraSelection> marks;
    const QStringList words = text.split('\n', Qt::SkipEmptyParts);
    for (const QString& word : words) {
        QTextCursor c(mInfo->document());
        while (!(c = mInfo->document()->find(word, c)).isNull()) {
            QTextEdit::ExtraSelection s;
            s.cursor = c;
            s.format.setBackground(Qt::yellow);
            marks << s;
        }
    }
    mInfo->setExtraSelections(marks);
    const int at = FoundFieldText.indexOf(text, 0, Qt::CaseInsensitive);
    if (at >= 0) {
        QTextCursor c = mInfo->textCursor();
        c.setPosition(at);
        mInfo->setTextCursor(c);
    }
}

void ShowFindDialog(TkDBGrid* grid, bool sorted) {
    if (!grid || !grid->dataSet() || !grid->dataSet()->Active()) return;
    TkDBFindForm form(grid, sorted, grid->window());
    const TkDBFindCfg& cfg = FindConfig();
    form.cbDelQuotes->setVisible(cfg.ShowDelQuotes);
    if (!cfg.ShowDelQuotes) form.cbDelQuotes->setChecked(false);
    form.chIgnoreDiacritics->setVisible(cfg.ShowIgnoreDiacritics);
    if (!cfg.ShowIgnoreDiacritics) form.chIgnoreDiacritics->setChecked(false);
    form.exec();
}
