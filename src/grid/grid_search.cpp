// The grid's incremental search: typed characters that would not open a cell editor look for the
// first record whose current column begins with them; Ctrl+Right filters by the text, Ctrl+Left
// switches the filter off.
#include "column_filter.h"
#include "db_grid.h"
#include "filter_text.h"
#include "find_search.h"

#include <QKeyEvent>
#include <QLabel>

bool TkDBGrid::typingEdits() const {
    TDataSet* ds = dataSet();
    if (ReadOnly || !AllowEditing || !(editTriggers() & QAbstractItemView::AnyKeyPressed)) return false;
    if (source_ && !source_->AutoEdit && ds && ds->State() == dsBrowse) return false;
    return model_->flags(currentIndex()) & Qt::ItemIsEditable;
}

QString TkDBGrid::SearchHint() const {
    if (searchText_.isEmpty()) return QString();
    return searchText_ + QLatin1Char('\n') + SearchFilterHint(dataSet());
}

void TkDBGrid::ClearSearch() {
    searchText_.clear();
    searchColumn_ = -1;
    if (searchHint_) searchHint_->hide();
}

void TkDBGrid::showSearchHint(bool found) {
    if (!searchHint_) {
        searchHint_ = new QLabel(viewport());
        searchHint_->setObjectName(QStringLiteral("lblSearch"));
        searchHint_->setAutoFillBackground(true);
        searchHint_->setFrameShape(QFrame::Box);
        searchHint_->setTextFormat(Qt::PlainText);
        searchHint_->setMargin(2);
    }
    QPalette p = searchHint_->palette();
    p.setColor(QPalette::Window, palette().color(QPalette::ToolTipBase));
    p.setColor(QPalette::WindowText, found ? palette().color(QPalette::ToolTipText) : QColor(Qt::red));
    searchHint_->setPalette(p);
    searchHint_->setText(SearchHint());
    searchHint_->adjustSize();
    searchHint_->move(2, viewport()->height() - searchHint_->height() - 2);
    searchHint_->show();
    searchHint_->raise();
}

bool TkDBGrid::searchKey(QKeyEvent* e) {
    TDataSet* ds = dataSet();
    if (!ds || !ds->Active() || isEditorOpen()) return false;
    const int column = currentIndex().column();
    TField* f = fieldOfColumn(column);
    if (column != searchColumn_) ClearSearch();
    // Where typing edits the cell, it does (also when editing was switched on during a search).
    if (typingEdits()) {
        ClearSearch();
        return false;
    }
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (!searchText_.isEmpty()) {
        if (mods == Qt::ControlModifier && (e->key() == Qt::Key_Right || e->key() == Qt::Key_Left)) {
            const QString cond =
                e->key() == Qt::Key_Right
                    ? SearchTextCondition(f, searchText_, GridLikeChar(this), GridLikeOperator(this))
                    : QString();
            if ((e->key() == Qt::Key_Left || !cond.isEmpty()) && CommitEdit() && ApplyFilter(ds, cond, true))
                FilterChangedNotification();
            showSearchHint(true);
            return true;
        }
        if (mods == Qt::NoModifier && e->key() == Qt::Key_Escape) {
            ClearSearch();
            return true;
        }
        if (mods == Qt::NoModifier && e->key() == Qt::Key_Backspace) {
            searchText_.chop(1);
            if (searchText_.isEmpty()) {
                ClearSearch();
                return true;
            }
        } else if (e->text().isEmpty() || !e->text().at(0).isPrint() ||
                   (mods & ~Qt::ShiftModifier) != Qt::NoModifier) {
            return false;
        } else {
            searchText_ += e->text();
        }
    } else {
        if (e->text().isEmpty() || !e->text().at(0).isPrint() || e->text().at(0).isSpace() ||
            (mods & ~Qt::ShiftModifier) != Qt::NoModifier)
            return false;
        if (!f || !(IsPlainField(*f) || IsMemoField(*f))) return false;
        searchText_ = e->text();
        searchColumn_ = column;
    }
    // The first record of the view whose value begins with the text, letter case ignored.
    FindOptions o;
    o.text = searchText_;
    o.match = FindMatch::Beginning;
    const FindHit hit = FindInDataSet(*ds, {f}, o, 0, true);
    if (hit.position >= 0 && hit.position != ds->currentPosition() && CommitEdit()) {
        try {
            ds->setRecNo(hit.position + 1);
        } catch (const std::exception&) {
            // The record being left refused its post: the search stays where it is.
        }
    }
    showSearchHint(hit.position >= 0);
    return true;
}
