#include "dataset.h"

#include "exceptions.h"
#include "filter_expr.h"
#include "view_sort.h"

#include <QScopeGuard>
#include <algorithm>
#include <exception>

TDataSet::TDataSet() = default;
TDataSet::~TDataSet() = default;

void TDataSet::checkActive() const {
    if (state_ == dsInactive)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TDataSet::notify(DataEvent ev, int row) {
    if (disableCount_ > 0) {
        if (ev != DataEvent::Scrolled) pendingNotify_ = true;
        return;
    }
    for (IDataSetObserver* o : std::vector<IDataSetObserver*>(observers_))
        o->dataSetEvent(*this, ev, row);
}

void TDataSet::addObserver(IDataSetObserver* o) {
    if (std::find(observers_.begin(), observers_.end(), o) == observers_.end()) observers_.push_back(o);
}

void TDataSet::removeObserver(IDataSetObserver* o) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

void TDataSet::DisableControls() {
    ++disableCount_;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0) return;
    if (--disableCount_ == 0 && pendingNotify_) {
        pendingNotify_ = false;
        notify(DataEvent::DataSetChanged);
    }
    if (disableCount_ == 0) notify(DataEvent::Scrolled, pos_);
}

// ---- opening

void TDataSet::resetFields() {
    fields_.clear();
    order_.clear();
    columnTypes_.clear();
    store_.clear();
}

TField* TDataSet::addDataField(const QString& name, TFieldType type, int size) {
    int column = int(store_.columnCount());
    store_.addColumn(StorageOf(type));
    columnTypes_.push_back(type);
    fields_.push_back(std::make_unique<TField>(this, column, name, type, size));
    order_.push_back(fields_.back().get());
    return fields_.back().get();
}

TField* TDataSet::addVirtualField(const QString& name, TFieldType type, TFieldKind kind, int size) {
    fields_.push_back(std::make_unique<TField>(this, -1, name, type, size));
    TField* f = fields_.back().get();
    f->FieldKind = kind;
    f->ReadOnly = true;
    order_.push_back(f);
    if (Active()) notify(DataEvent::LayoutChanged);
    return f;
}

void TDataSet::Open() {
    if (Active()) return;
    // Virtual fields survive a reopen; data fields come from the source each time.
    std::vector<std::unique_ptr<TField>> virtuals;
    for (auto& f : fields_)
        if (f->FieldKind != fkData) virtuals.push_back(std::move(f));
    resetFields();
    deleted_.clear();
    deletedCount_ = 0;
    auto addVirtuals = [&] {
        for (auto& f : virtuals) {
            order_.push_back(f.get());
            fields_.push_back(std::move(f));
        }
    };
    // A fetch that fails part way (a lost connection) keeps the rows read so far: the dataset opens
    // with them and the error, which says where reading stopped, is raised after.
    std::exception_ptr cutShort;
    try {
        doOpen();
    } catch (...) {
        if (store_.rowCount() == 0) {
            resetFields();
            addVirtuals();
            throw;
        }
        cutShort = std::current_exception();
        store_.dropUnfinishedRow();
    }
    addVirtuals();
    deleted_.assign(store_.rowCount(), 0);
    state_ = dsBrowse;
    try {
        rebuildView();
    } catch (...) {
        // A stored filter or sort that no longer fits the fields must not keep the rows from showing.
        filtered_ = false;
        filter_.reset();
        try {
            rebuildView();
        } catch (...) {
            sortText_.clear();
            rebuildView();
        }
    }
    pos_ = view_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = view_.empty();
    notify(DataEvent::LayoutChanged);
    if (AfterOpen) AfterOpen(*this);
    if (OnBlock) OnBlock(*this, true);
    if (cutShort) std::rethrow_exception(cutShort);
}

void TDataSet::fetchedBlock() {
    if (!OnBlock || store_.rowCount() == 0) return;
    const uint32_t n = store_.rowCount();
    deleted_.assign(n, 0);
    view_.resize(n);
    for (uint32_t i = 0; i < n; ++i)
        view_[i] = i;
    invalidateReverse();
    state_ = dsBrowse;
    pos_ = 0;
    bof_ = true;
    eof_ = false;
    auto drop = qScopeGuard([this] {
        state_ = dsInactive;
        view_.clear();
        invalidateReverse();
        deleted_.clear();
        pos_ = -1;
        bof_ = eof_ = true;
        store_.dropRows();
    });
    OnBlock(*this, false);
}

void TDataSet::fetchedMore(uint32_t firstRow) {
    deleted_.resize(store_.rowCount(), 0);
    const TBookmark bm = GetBookmark();
    if (!sortText_.trimmed().isEmpty()) {
        rebuildView();
    } else {
        invalidateReverse();
        const FilterProgram* filter = filtered_ ? filter_.get() : nullptr;
        for (uint32_t r = firstRow; r < store_.rowCount(); ++r)
            if (!filter || filter->matches(r)) view_.push_back(r);
    }
    const int p = bm >= 0 ? positionOfRow(uint32_t(bm)) : -1;
    if (p >= 0) {
        pos_ = p;
    } else {
        pos_ = view_.empty() ? -1 : 0;
        bof_ = true;
        eof_ = view_.empty();
    }
    notify(DataEvent::DataSetChanged);
}

void TDataSet::Close() {
    if (!Active()) return;
    if (BeforeClose) BeforeClose(*this);
    doClose();
    state_ = dsInactive;
    buffer_.clear();
    view_.clear();
    invalidateReverse();
    store_.clear();
    deleted_.clear();
    deletedCount_ = 0;
    for (auto& f : fields_)
        if (f->FieldKind == fkData) f.reset();
    fields_.erase(std::remove(fields_.begin(), fields_.end(), nullptr), fields_.end());
    order_.clear();
    for (auto& f : fields_)
        order_.push_back(f.get());
    columnTypes_.clear();
    pos_ = -1;
    bof_ = eof_ = true;
    notify(DataEvent::LayoutChanged);
}

void TDataSet::Requery() {
    CheckBrowseMode();
    // Keep the fields' display settings across the reload.
    struct Saved {
        QString name, label;
        bool visible;
        int width, tag, index;
        QString format;
    };
    std::vector<Saved> saved;
    for (TField* f : order_)
        saved.push_back({f->FieldName, f->DisplayLabel(), f->Visible, f->DisplayWidth(), f->Tag, f->Index(),
                         f->DisplayFormat});
    Close();
    Open();
    for (const Saved& s : saved) {
        if (TField* f = FindField(s.name)) {
            f->setDisplayLabel(s.label == s.name ? QString() : s.label);
            f->Visible = s.visible;
            f->Tag = s.tag;
            f->DisplayFormat = s.format;
        }
    }
    for (const Saved& s : saved)
        if (TField* f = FindField(s.name)) moveField(f, std::min(s.index, FieldCount() - 1));
    notify(DataEvent::LayoutChanged);
}

// ---- fields

TField* TDataSet::FindField(const QString& name) const {
    for (TField* f : order_)
        if (f->FieldName.compare(name, Qt::CaseInsensitive) == 0) return f;
    return nullptr;
}

TField* TDataSet::FieldByName(const QString& name) const {
    TField* f = FindField(name);
    if (!f) throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    return f;
}

int TDataSet::fieldPosition(const TField* f) const {
    auto it = std::find(order_.begin(), order_.end(), f);
    return it == order_.end() ? -1 : int(it - order_.begin());
}

void TDataSet::moveField(TField* f, int index) {
    int from = fieldPosition(f);
    if (from < 0) return;
    index = std::clamp(index, 0, FieldCount() - 1);
    if (from == index) return;
    order_.erase(order_.begin() + from);
    order_.insert(order_.begin() + index, f);
    notify(DataEvent::LayoutChanged);
}

QVariant TDataSet::valueOfRow(const TField* f, uint32_t rowId) const {
    if (f->column() >= 0) return store_.value(size_t(f->column()), rowId, f->DataType);
    if (f->FieldKind == fkLookup && f->LookupDataSet) {
        QStringList keys = f->KeyFields.split(';');
        QVariantList vals;
        for (const QString& k : keys) {
            const TField* key = FieldByName(k.trimmed());
            if (key == f) return QVariant(); // its own key: no value, not an endless lookup
            vals << valueOfRow(key, rowId);
            if (!vals.last().isValid()) return QVariant(); // a NULL key finds no record
        }
        TDataSet* lk = f->LookupDataSet;
        QStringList lkeys = f->LookupKeyFields.split(';');
        std::vector<TField*> lfields;
        for (const QString& k : lkeys)
            lfields.push_back(lk->FieldByName(k.trimmed()));
        TField* result = lk->FieldByName(f->LookupResultField);
        for (int p = 0; p < lk->RecordCount(); ++p) {
            bool all = true;
            for (size_t i = 0; i < lfields.size() && all; ++i)
                all = i < size_t(vals.size()) && lk->valueAt(lfields[i], p) == vals[qsizetype(i)];
            if (all) return lk->valueAt(result, p);
        }
        return QVariant();
    }
    if (f->FieldKind == fkCalculated && OnCalcField) {
        // Calculated values are computed for the current record only; others read as NULL.
        int p = positionOfRow(rowId);
        if (p == pos_) return OnCalcField(*this, *f);
    }
    return QVariant();
}

QVariant TDataSet::valueAt(const TField* f, int position) const {
    return valueOfRow(f, view_[size_t(position)]);
}

QVariant TDataSet::currentValue(const TField* f) const {
    if ((state_ == dsEdit || state_ == dsInsert) && f->column() >= 0)
        return CellVariant(buffer_[size_t(f->column())], f->DataType);
    if (state_ == dsInactive || pos_ < 0) return QVariant();
    return valueAt(f, pos_);
}

bool TDataSet::currentIsNull(const TField* f) const {
    if (f->column() < 0) return !currentValue(f).isValid();
    if (state_ == dsEdit || state_ == dsInsert) return buffer_[size_t(f->column())].null;
    if (state_ == dsInactive || pos_ < 0) return true;
    return store_.column(size_t(f->column())).isNull(view_[size_t(pos_)]);
}

bool TDataSet::currentCell(const TField* f, CellValue& out) const {
    if (f->column() < 0) return false;
    const size_t c = size_t(f->column());
    if (state_ == dsEdit || state_ == dsInsert) {
        out = buffer_[c];
        return true;
    }
    if (state_ == dsInactive || pos_ < 0) return false;
    store_.column(c).cellAt(view_[size_t(pos_)], store_.arena(), out);
    return true;
}

bool TDataSet::currentEquals(const TField* f, const CellValue& cell) const {
    if (f->column() < 0) return false;
    const size_t c = size_t(f->column());
    const StorageKind kind = store_.column(c).kind();
    if (state_ == dsEdit || state_ == dsInsert) return SameCell(buffer_[c], cell, kind);
    if (state_ == dsInactive || pos_ < 0) return false;
    store_.column(c).cellAt(view_[size_t(pos_)], store_.arena(), scratch_);
    return SameCell(scratch_, cell, kind);
}

void TDataSet::checkEditing(const TField* f) const {
    if (state_ != dsEdit && state_ != dsInsert)
        throw EDatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
    if (f->column() < 0 || f->ReadOnly)
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(f->FieldName));
}

void TDataSet::markChanged(size_t column) {
    changed_[column] = true;
    modified_ = true;
    notify(DataEvent::RecordChanged, state_ == dsInsert ? insertAt_ : pos_);
}

void TDataSet::setCurrentValue(const TField* f, const QVariant& v) {
    checkEditing(f);
    // Converted aside first: a value that does not fit leaves the buffer as it was.
    if (!ToCell(v, f->DataType, scratch_))
        throw EDatabaseError(
            QStringLiteral("'%1' is not a valid value for field '%2'").arg(v.toString(), f->FieldName));
    const size_t c = size_t(f->column());
    buffer_[c].swap(scratch_);
    markChanged(c);
}

void TDataSet::swapCurrentCell(const TField* f, CellValue& cell) {
    checkEditing(f);
    const size_t c = size_t(f->column());
    buffer_[c].swap(cell);
    markChanged(c);
}

// ---- navigation

void TDataSet::setPosition(int pos, bool events) {
    if (events && BeforeScroll) BeforeScroll(*this);
    pos_ = pos;
    if (events) {
        notify(DataEvent::Scrolled, pos_);
        if (AfterScroll) AfterScroll(*this);
    }
}

void TDataSet::First() {
    checkActive();
    CheckBrowseMode();
    setPosition(view_.empty() ? -1 : 0);
    bof_ = true;
    eof_ = view_.empty();
}

void TDataSet::Last() {
    checkActive();
    CheckBrowseMode();
    setPosition(int(view_.size()) - 1);
    eof_ = true;
    bof_ = view_.empty();
}

int TDataSet::MoveBy(int distance) {
    checkActive();
    CheckBrowseMode();
    if (view_.empty()) {
        bof_ = eof_ = true;
        return 0;
    }
    int target = pos_ + distance;
    int last = int(view_.size()) - 1;
    bof_ = eof_ = false;
    if (target > last) {
        target = last;
        eof_ = true;
    } else if (target < 0) {
        target = 0;
        bof_ = true;
    }
    int moved = target - pos_;
    if (moved != 0) setPosition(target);
    return moved;
}

void TDataSet::Next() {
    MoveBy(1);
}
void TDataSet::Prior() {
    MoveBy(-1);
}

int TDataSet::RecNo() const {
    if (state_ == dsInsert || pos_ < 0) return 0;
    return pos_ + 1;
}

void TDataSet::setRecNo(int recNo) {
    checkActive();
    CheckBrowseMode();
    if (view_.empty()) return;
    int p = std::clamp(recNo - 1, 0, int(view_.size()) - 1);
    bof_ = eof_ = false;
    if (p != pos_) setPosition(p);
}

int TDataSet::positionOfRow(uint32_t rowId) const {
    if (reverse_.empty() && !view_.empty()) {
        reverse_.assign(store_.rowCount(), -1);
        for (size_t i = 0; i < view_.size(); ++i)
            reverse_[view_[i]] = int(i);
    }
    return rowId < reverse_.size() ? reverse_[rowId] : -1;
}

TBookmark TDataSet::GetBookmark() const {
    if (state_ == dsInactive || pos_ < 0 || state_ == dsInsert) return -1;
    return view_[size_t(pos_)];
}

bool TDataSet::BookmarkValid(TBookmark bm) const {
    return bm >= 0 && bm < TBookmark(store_.rowCount()) && positionOfRow(uint32_t(bm)) >= 0;
}

void TDataSet::GotoBookmark(TBookmark bm) {
    checkActive();
    CheckBrowseMode();
    if (!BookmarkValid(bm)) throw EDatabaseError(QStringLiteral("Record not found"));
    bof_ = eof_ = false;
    int p = positionOfRow(uint32_t(bm));
    if (p != pos_) setPosition(p);
}

int TDataSet::CompareBookmarks(TBookmark a, TBookmark b) const {
    if (a == b) return 0;
    if (a < 0) return -1;
    if (b < 0) return 1;
    int pa = positionOfRow(uint32_t(a)), pb = positionOfRow(uint32_t(b));
    return pa < pb ? -1 : 1;
}

bool TDataSet::Locate(const QString& keyFields, const QVariant& keyValues, int options) {
    checkActive();
    CheckBrowseMode();
    QStringList names = keyFields.split(';', Qt::SkipEmptyParts);
    QVariantList values =
        keyValues.typeId() == QMetaType::QVariantList ? keyValues.toList() : QVariantList{keyValues};
    if (names.size() != values.size())
        throw EDatabaseError(
            QStringLiteral("Locate: %1 fields but %2 values").arg(names.size()).arg(values.size()));
    std::vector<RowMatcher> matchers;
    for (qsizetype i = 0; i < names.size(); ++i)
        matchers.emplace_back(*this, FieldByName(names[i].trimmed()), values[i], options);
    for (size_t p = 0; p < view_.size(); ++p) {
        uint32_t row = view_[p];
        bool all = true;
        for (const RowMatcher& m : matchers)
            if (!m.matches(row)) {
                all = false;
                break;
            }
        if (all) {
            bof_ = eof_ = false;
            if (int(p) != pos_) setPosition(int(p));
            return true;
        }
    }
    return false;
}

// ---- filter and sort

void TDataSet::rebuildView() {
    invalidateReverse();
    view_.clear();
    view_.reserve(store_.rowCount());
    const FilterProgram* filter = filtered_ ? filter_.get() : nullptr;
    for (uint32_t r = 0; r < store_.rowCount(); ++r) {
        if (deleted_[r]) continue;
        if (filter && !filter->matches(r)) continue;
        view_.push_back(r);
    }
    if (!sortText_.trimmed().isEmpty()) SortView(*this, ParseSortText(*this, sortText_), view_);
}

void TDataSet::refreshView() {
    if (!Active()) return;
    CheckBrowseMode();
    TBookmark bm = GetBookmark();
    rebuildView();
    int p = bm >= 0 ? positionOfRow(uint32_t(bm)) : -1;
    pos_ = p >= 0 ? p : (view_.empty() ? -1 : 0);
    bof_ = pos_ <= 0;
    eof_ = view_.empty();
    notify(DataEvent::DataSetChanged);
    notify(DataEvent::Scrolled, pos_);
}

void TDataSet::setFilter(const QString& text) {
    if (Active() && filtered_) {
        // Compile first: a rejected text leaves the old filter in place.
        std::unique_ptr<FilterProgram> p =
            text.trimmed().isEmpty() ? nullptr
                                     : FilterProgram::compile(text, *this, FilterOptions & foCaseInsensitive);
        filterText_ = text;
        filter_ = std::move(p);
        refreshView();
        return;
    }
    filterText_ = text;
    filter_.reset();
}

void TDataSet::setFiltered(bool on) {
    if (on == filtered_ && (!on || filter_ || filterText_.trimmed().isEmpty())) return;
    if (on && Active() && !filterText_.trimmed().isEmpty())
        filter_ = FilterProgram::compile(filterText_, *this, FilterOptions & foCaseInsensitive);
    filtered_ = on;
    if (Active()) refreshView();
}

void TDataSet::setSort(const QString& text) {
    if (Active()) ParseSortText(*this, text); // raises on an unknown field before anything changes
    sortText_ = text;
    if (Active()) refreshView();
}

// ---- editing

// Fills the edit buffer from a stored row, or with NULLs; the cells keep their text capacity, so
// loops that append or edit record after record allocate nothing per record.
void TDataSet::startBuffer(uint32_t rowId, bool fromRow) {
    buffer_.resize(store_.columnCount());
    for (size_t c = 0; c < buffer_.size(); ++c) {
        if (fromRow)
            store_.column(c).cellAt(rowId, store_.arena(), buffer_[c]);
        else
            buffer_[c].clear();
    }
    changed_.assign(buffer_.size(), false);
    modified_ = false;
}

void TDataSet::Edit() {
    checkActive();
    if (state_ == dsEdit || state_ == dsInsert) return;
    if (ReadOnly) throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    if (view_.empty()) {
        Append();
        return;
    }
    startBuffer(view_[size_t(pos_)], true);
    state_ = dsEdit;
    notify(DataEvent::StateChanged, pos_);
}

void TDataSet::Append() {
    checkActive();
    CheckBrowseMode();
    if (ReadOnly) throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    savedPos_ = pos_;
    insertAt_ = int(view_.size());
    startBuffer(0, false);
    state_ = dsInsert;
    notify(DataEvent::StateChanged, insertAt_);
}

void TDataSet::Insert() {
    checkActive();
    CheckBrowseMode();
    if (ReadOnly) throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    savedPos_ = pos_;
    insertAt_ = pos_ < 0 ? 0 : pos_;
    startBuffer(0, false);
    state_ = dsInsert;
    notify(DataEvent::StateChanged, insertAt_);
}

void TDataSet::Post() {
    if (state_ != dsEdit && state_ != dsInsert) return;
    if (BeforePost) BeforePost(*this);
    for (const auto& f : fields_)
        if (f->Required && f->column() >= 0 && !f->AutoIncrement && buffer_[size_t(f->column())].null)
            throw EDatabaseError(QStringLiteral("Field '%1' must have a value").arg(f->FieldName));
    if (state_ == dsEdit) {
        uint32_t row = view_[size_t(pos_)];
        if (modified_) {
            writeUpdate(row, buffer_, changed_); // raises: the record stays in edit
            for (size_t c = 0; c < buffer_.size(); ++c)
                if (changed_[c]) store_.column(c).setCell(row, buffer_[c], store_.arena());
        }
        state_ = dsBrowse;
        notify(DataEvent::RecordChanged, pos_);
    } else if (!KeepPostedInserts) {
        writeInsert(buffer_);
        state_ = dsBrowse;
        pos_ = savedPos_ < int(view_.size()) ? savedPos_ : int(view_.size()) - 1;
    } else {
        writeInsert(buffer_);
        store_.appendRow(buffer_);
        deleted_.push_back(0);
        uint32_t row = store_.rowCount() - 1;
        view_.insert(view_.begin() + insertAt_, row);
        // A row appended at the end moves no other row: the reverse map grows instead of being rebuilt
        // (loops that append and locate in turn stay linear).
        if (size_t(insertAt_) + 1 == view_.size() && !reverse_.empty()) {
            reverse_.resize(store_.rowCount(), -1);
            reverse_[row] = insertAt_;
        } else {
            invalidateReverse();
        }
        state_ = dsBrowse;
        pos_ = insertAt_;
        bof_ = eof_ = false;
        notify(DataEvent::RowInserted, pos_);
        notify(DataEvent::Scrolled, pos_);
    }
    modified_ = false;
    notify(DataEvent::StateChanged, pos_);
    if (AfterPost) AfterPost(*this);
}

void TDataSet::ForgetRows() {
    checkActive();
    if (state_ != dsBrowse) throw EDatabaseError(QStringLiteral("Dataset not in browse mode"));
    store_.dropRows();
    view_.clear();
    deleted_.clear();
    deletedCount_ = 0;
    invalidateReverse();
    pos_ = -1;
    bof_ = eof_ = true;
    notify(DataEvent::LayoutChanged);
}

void TDataSet::Cancel() {
    if (state_ != dsEdit && state_ != dsInsert) return;
    bool inserting = state_ == dsInsert;
    state_ = dsBrowse;
    modified_ = false;
    if (inserting) pos_ = savedPos_ < int(view_.size()) ? savedPos_ : int(view_.size()) - 1;
    notify(DataEvent::StateChanged, pos_);
    notify(DataEvent::RecordChanged, pos_);
}

void TDataSet::CheckBrowseMode() {
    if (state_ == dsEdit || state_ == dsInsert) Post();
}

void TDataSet::Delete() {
    checkActive();
    if (state_ == dsInsert) {
        Cancel();
        return;
    }
    if (state_ == dsEdit) Cancel();
    if (view_.empty())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (ReadOnly) throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    if (BeforeDelete) BeforeDelete(*this);
    uint32_t row = view_[size_t(pos_)];
    writeDelete(row);
    deleted_[row] = 1;
    ++deletedCount_;
    int at = pos_;
    view_.erase(view_.begin() + at);
    invalidateReverse();
    notify(DataEvent::RowRemoved, at);
    pos_ = view_.empty() ? -1 : std::min(at, int(view_.size()) - 1);
    eof_ = view_.empty();
    notify(DataEvent::Scrolled, pos_);
    if (AfterScroll) AfterScroll(*this);
}

void TDataSource::setDataSet(TDataSet* ds) {
    if (ds == dataSet_) return;
    dataSet_ = ds;
    if (OnDataSetChanged) OnDataSetChanged(*this);
}
