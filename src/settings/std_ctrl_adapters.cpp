// The standard controls' keys: memo lines, list and combo items with their selection, check and radio
// states, edit texts, menu checks, tab and page indexes, colours and dates.
#include "ini_values.h"
#include "prop_save_file.h"
#include "std_ctrl_prop_save.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>

namespace {

const QString kItemIndex = QStringLiteral("ItemIndex");
const QString kItemsCount = QStringLiteral("ItemsCount");
const QString kText = QStringLiteral("Text");
const QString kChecked = QStringLiteral("Checked");
QString Selected(int i) {
    return QStringLiteral("Selected%1").arg(i);
}
QString CheckedAt(int i) {
    return QStringLiteral("Checked%1").arg(i);
}

bool BlocksItems(const QObject* control) {
    return control->objectName().contains(Suffix_BlockSaveItems);
}

// A stored index applies only when it still points into the list; -1 means none.
bool ValidIndex(int index, int count) {
    return index >= -1 && index < count;
}

// Read, save and delete of one typed value through a getter and a setter.
template <class C> class ValueAdapter : public TCtrlAdapter {
public:
    using Get = std::function<QVariant(C*)>;
    using Set = std::function<void(C*, const QVariant&)>;
    ValueAdapter(QString key, Get get, Set set, bool holdsControls = false)
        : key_(std::move(key)), get_(std::move(get)), set_(std::move(set)), holds_(holdsControls) {}
    void Read(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        C* control = static_cast<C*>(c);
        set_(control, s.ReadVariant(sec, key_, get_(control)));
    }
    void Save(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        s.WriteVariant(sec, key_, get_(static_cast<C*>(c)));
    }
    void Delete(TPropSaveFile& s, QObject*, const QString& sec, const TCustomPropSave&) const override {
        s.DeleteKey(sec, key_);
    }
    bool HoldsControls() const override { return holds_; }

private:
    QString key_;
    Get get_;
    Set set_;
    bool holds_;
};

template <class C>
TCtrlAdapterPtr MakeValue(const QString& key, typename ValueAdapter<C>::Get get,
                          typename ValueAdapter<C>::Set set, bool holdsControls = false) {
    return std::make_shared<ValueAdapter<C>>(key, std::move(get), std::move(set), holdsControls);
}

// Memo and rich text: the lines (plain text) as a string list.
template <class Edit> class MemoAdapter : public TCtrlAdapter {
    static QStringList Lines(const Edit* e) {
        const QString text = e->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }

public:
    void Read(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        auto* e = static_cast<Edit*>(c);
        QStringList lines = Lines(e);
        if (s.ReadStrings(sec, lines)) e->setPlainText(lines.join(QLatin1Char('\n')));
    }
    void Save(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        s.WriteStrings(sec, Lines(static_cast<Edit*>(c)));
    }
    void Delete(TPropSaveFile& s, QObject*, const QString& sec, const TCustomPropSave&) const override {
        s.DeleteStrings(sec);
    }
};

// List box and check list box: items, then "Selected%d" (multi-select) or "ItemIndex", and "Checked%d".
class ListBoxAdapter : public TCtrlAdapter {
    static bool Multi(const QListWidget* l) {
        return l->selectionMode() == QAbstractItemView::MultiSelection ||
               l->selectionMode() == QAbstractItemView::ExtendedSelection;
    }
    // A check list holds checkable items, or says so through a "checkList" property while still empty.
    static bool CheckList(const QListWidget* l) {
        if (l->property("checkList").toBool()) return true;
        for (int i = 0; i < l->count(); ++i)
            if (l->item(i)->flags() & Qt::ItemIsUserCheckable) return true;
        return false;
    }
    static QStringList Items(const QListWidget* l) {
        QStringList items;
        for (int i = 0; i < l->count(); ++i)
            items << l->item(i)->text();
        return items;
    }

public:
    void Read(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        auto* l = static_cast<QListWidget*>(c);
        const bool check = CheckList(l);
        QStringList items = Items(l);
        if (!BlocksItems(c) && s.ReadStrings(sec, items)) {
            l->clear();
            for (const QString& text : items) {
                auto* item = new QListWidgetItem(text, l);
                if (check) {
                    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                    item->setCheckState(Qt::Unchecked);
                }
            }
        }
        if (Multi(l)) {
            for (int i = 0; i < l->count(); ++i)
                l->item(i)->setSelected(s.ReadBool(sec, Selected(i), l->item(i)->isSelected()));
        } else {
            const int index = s.ReadInteger(sec, kItemIndex, l->currentRow());
            if (ValidIndex(index, l->count())) l->setCurrentRow(index);
        }
        if (check)
            for (int i = 0; i < l->count(); ++i) {
                QListWidgetItem* item = l->item(i);
                const bool on = s.ReadBool(sec, CheckedAt(i), item->checkState() == Qt::Checked);
                item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
            }
    }
    void Save(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        auto* l = static_cast<QListWidget*>(c);
        if (!BlocksItems(c)) s.WriteStrings(sec, Items(l));
        if (Multi(l))
            for (int i = 0; i < l->count(); ++i)
                s.WriteBool(sec, Selected(i), l->item(i)->isSelected());
        else
            s.WriteInteger(sec, kItemIndex, l->currentRow());
        if (CheckList(l))
            for (int i = 0; i < l->count(); ++i)
                s.WriteBool(sec, CheckedAt(i), l->item(i)->checkState() == Qt::Checked);
    }
    void Delete(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        const int count = std::max(s.ReadInteger(sec, kItemsCount, 0), static_cast<QListWidget*>(c)->count());
        s.DeleteStrings(sec);
        for (int i = 0; i < count; ++i) {
            s.DeleteKey(sec, Selected(i));
            s.DeleteKey(sec, CheckedAt(i));
        }
        s.DeleteKey(sec, kItemIndex);
    }
};

// Combo box: items, then "ItemIndex" for a drop-down list or "Text" for an editable one. A "_nostore"
// combo keeps only its text: its items come from the program, so an index would point anywhere.
class ComboBoxAdapter : public TCtrlAdapter {
    static bool ByText(const QComboBox* cb) { return cb->isEditable() || BlocksItems(cb); }

public:
    void Read(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        auto* cb = static_cast<QComboBox*>(c);
        if (!BlocksItems(c)) {
            QStringList items;
            for (int i = 0; i < cb->count(); ++i)
                items << cb->itemText(i);
            if (s.ReadStrings(sec, items)) {
                const QString text = cb->currentText();
                cb->clear();
                cb->addItems(items);
                if (cb->isEditable()) cb->setEditText(text);
            }
        }
        if (ByText(cb)) {
            const QString text = s.ReadString(sec, kText, cb->currentText());
            if (cb->isEditable()) {
                cb->setEditText(text);
            } else if (const int i = cb->findText(text); i >= 0) {
                cb->setCurrentIndex(i);
            }
        } else {
            const int index = s.ReadInteger(sec, kItemIndex, cb->currentIndex());
            if (ValidIndex(index, cb->count())) cb->setCurrentIndex(index);
        }
    }
    void Save(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        auto* cb = static_cast<QComboBox*>(c);
        if (!BlocksItems(c)) {
            QStringList items;
            for (int i = 0; i < cb->count(); ++i)
                items << cb->itemText(i);
            s.WriteStrings(sec, items);
        }
        if (ByText(cb))
            s.WriteString(sec, kText, cb->currentText());
        else
            s.WriteInteger(sec, kItemIndex, cb->currentIndex());
    }
    void Delete(TPropSaveFile& s, QObject*, const QString& sec, const TCustomPropSave&) const override {
        s.DeleteStrings(sec);
        s.DeleteKey(sec, kText);
        s.DeleteKey(sec, kItemIndex);
    }
};

// Date-time picker: "Date" in whole days, and "DateChecked" for a picker with a check box (a control
// with a boolean property "dateChecked").
class DateTimePickerAdapter : public TCtrlAdapter {
    static bool HasCheck(const QObject* c) { return c->property("dateChecked").isValid(); }

public:
    void Read(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        auto* e = static_cast<QDateTimeEdit*>(c);
        const QDate date =
            s.ReadDateTime(sec, QStringLiteral("Date"), QDateTime(e->date(), QTime(0, 0))).date();
        if (date.isValid()) e->setDate(date);
        if (HasCheck(c))
            c->setProperty("dateChecked", s.ReadBool(sec, QStringLiteral("DateChecked"),
                                                     c->property("dateChecked").toBool()));
    }
    void Save(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        s.WriteDateTime(sec, QStringLiteral("Date"),
                        QDateTime(static_cast<QDateTimeEdit*>(c)->date(), QTime(0, 0)));
        if (HasCheck(c)) s.WriteBool(sec, QStringLiteral("DateChecked"), c->property("dateChecked").toBool());
    }
    void Delete(TPropSaveFile& s, QObject*, const QString& sec, const TCustomPropSave&) const override {
        s.DeleteKey(sec, QStringLiteral("Date"));
        s.DeleteKey(sec, QStringLiteral("DateChecked"));
    }
};

int CheckStateCode(Qt::CheckState state) {
    return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
}
Qt::CheckState CheckStateOf(int code) {
    return code == 1 ? Qt::Checked : code == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

void SetGroupIndex(QButtonGroup* g, int index) {
    const QList<QAbstractButton*> buttons = g->buttons();
    if (!ValidIndex(index, int(buttons.size()))) return;
    if (index >= 0) {
        buttons[index]->setChecked(true);
    } else if (QAbstractButton* checked = g->checkedButton()) {
        const bool exclusive = g->exclusive();
        g->setExclusive(false);
        checked->setChecked(false);
        g->setExclusive(exclusive);
    }
}

TCtrlAdapterRegistry MakeStdRegistry() {
    TCtrlAdapterRegistry r;
    r.Register("QPlainTextEdit", std::make_shared<MemoAdapter<QPlainTextEdit>>());
    r.Register("QTextEdit", std::make_shared<MemoAdapter<QTextEdit>>());
    r.Register("QListWidget", std::make_shared<ListBoxAdapter>());
    r.Register("QComboBox", std::make_shared<ComboBoxAdapter>());
    r.Register("QCheckBox",
               MakeValue<QCheckBox>(
                   QStringLiteral("State"), [](QCheckBox* c) { return CheckStateCode(c->checkState()); },
                   [](QCheckBox* c, const QVariant& v) { c->setCheckState(CheckStateOf(v.toInt())); }));
    r.Register("QButtonGroup",
               MakeValue<QButtonGroup>(
                   kItemIndex, [](QButtonGroup* g) { return int(g->buttons().indexOf(g->checkedButton())); },
                   [](QButtonGroup* g, const QVariant& v) { SetGroupIndex(g, v.toInt()); }));
    r.Register("QRadioButton", MakeValue<QRadioButton>(
                                   kChecked, [](QRadioButton* b) { return b->isChecked(); },
                                   [](QRadioButton* b, const QVariant& v) { b->setChecked(v.toBool()); }));
    r.Register("QLineEdit", MakeValue<QLineEdit>(
                                kText, [](QLineEdit* e) { return e->text(); },
                                [](QLineEdit* e, const QVariant& v) { e->setText(v.toString()); }));
    r.Register("QSpinBox", MakeValue<QSpinBox>(
                               kText, [](QSpinBox* e) { return e->cleanText(); },
                               [](QSpinBox* e, const QVariant& v) {
                                   bool ok = false;
                                   const int n = e->locale().toInt(v.toString().trimmed(), &ok);
                                   if (ok) e->setValue(n);
                               }));
    r.Register("QDoubleSpinBox", MakeValue<QDoubleSpinBox>(
                                     kText, [](QDoubleSpinBox* e) { return e->cleanText(); },
                                     [](QDoubleSpinBox* e, const QVariant& v) {
                                         bool ok = false;
                                         const double d = e->locale().toDouble(v.toString().trimmed(), &ok);
                                         if (ok) e->setValue(d);
                                     }));
    r.Register("QAction", MakeValue<QAction>(
                              kChecked, [](QAction* a) { return a->isChecked(); },
                              [](QAction* a, const QVariant& v) { a->setChecked(v.toBool()); }));
    r.Register("QTabBar", MakeValue<QTabBar>(
                              kItemIndex, [](QTabBar* t) { return t->currentIndex(); },
                              [](QTabBar* t, const QVariant& v) {
                                  if (v.toInt() >= 0 && v.toInt() < t->count()) t->setCurrentIndex(v.toInt());
                              }));
    r.Register("QTabWidget", MakeValue<QTabWidget>(
                                 kItemIndex, [](QTabWidget* t) { return t->currentIndex(); },
                                 [](QTabWidget* t, const QVariant& v) {
                                     if (v.toInt() >= 0 && v.toInt() < t->count())
                                         t->setCurrentIndex(v.toInt());
                                 },
                                 true));
    r.Register("QDateTimeEdit", std::make_shared<DateTimePickerAdapter>());
    return r;
}

} // namespace

TCtrlAdapterRegistry& StdCtrlAdapters() {
    static TCtrlAdapterRegistry registry = MakeStdRegistry();
    return registry;
}

TCtrlAdapterPtr ColorBoxAdapter() {
    return MakeValue<QObject>(
        QStringLiteral("Color"), [](QObject* c) { return ColorToBgr(c->property("color").value<QColor>()); },
        [](QObject* c, const QVariant& v) { c->setProperty("color", BgrToColor(v.toInt())); });
}

void TStdCtrlPropSave::ProcessComponent(TPropSaveAction action, TPropSaveFile& store, QObject* component,
                                        const QString& key) {
    if (const TCtrlAdapter* adapter = StdCtrlAdapters().Find(component))
        adapter->Process(action, store, component, key, *this);
}

bool TStdCtrlPropSave::CanSave(QObject* component) const {
    return StdCtrlAdapters().Find(component) != nullptr;
}

bool TStdCtrlPropSave::IsLeaf(QObject* component) const {
    const TCtrlAdapter* adapter = StdCtrlAdapters().Find(component);
    return !adapter || !adapter->HoldsControls();
}
