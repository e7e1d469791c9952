#include "column_filter_store.h"

#include "column_filter.h"
#include "db_grid.h"
#include "filter_panel.h"
#include "prop_save_file.h"

namespace {
constexpr int kPanelItemsKept = 21;
const QChar kTab = u'\t';
} // namespace

void SaveColumnFilters(TPropSaveFile& s, TkDBGrid* g, const QString& sec) {
    s.EraseSection(sec);
    int n = 0;
    QStringList texts;
    for (const ColumnFilterEntry& e : ColumnFilters(g)) {
        if (!e.condition.trimmed().isEmpty() || !e.text.isEmpty()) {
            s.WriteString(sec, QStringLiteral("Field%1").arg(n), e.field);
            s.WriteString(sec, QStringLiteral("Cond%1").arg(n), e.condition);
            s.WriteString(sec, QStringLiteral("Text%1").arg(n), e.text);
            ++n;
        }
        for (const QString& h : e.history)
            texts << e.field + kTab + h;
    }
    s.WriteInteger(sec, QStringLiteral("CondCount"), n);
    if (g->OptionsEx2.Filters.TextListAddFilter) {
        s.EraseSection(sec + QStringLiteral("TextValues"));
        s.WriteStrings(sec + QStringLiteral("TextValues"), texts);
    }
    s.EraseSection(sec + QStringLiteral(".FilterPanelItems"));
    s.WriteStrings(sec + QStringLiteral(".FilterPanelItems"), FilterPanelItems(g).mid(0, kPanelItemsKept));
    if (TDataSet* ds = g->dataSet()) {
        s.WriteString(sec, QStringLiteral("FilterText"), ds->Filter());
        s.WriteBool(sec, QStringLiteral("Filtered"), ds->Filtered());
    }
}

void ReadColumnFilters(TPropSaveFile& s, TkDBGrid* g, const QString& sec) {
    TDataSet* ds = g->dataSet();
    auto known = [&](const QString& name) { return !ds || ds->FindField(name); };
    const int count = std::clamp(s.ReadInteger(sec, QStringLiteral("CondCount"), 0), 0, 10000);
    for (int i = 0; i < count; ++i) {
        const QString field = s.ReadString(sec, QStringLiteral("Field%1").arg(i));
        if (field.isEmpty() || !known(field)) continue;
        DefineColumnFilter(g, field, s.ReadString(sec, QStringLiteral("Cond%1").arg(i)), false,
                           s.ReadString(sec, QStringLiteral("Text%1").arg(i)));
    }
    QStringList texts;
    if (s.ReadStrings(sec + QStringLiteral("TextValues"), texts))
        for (const QString& t : texts) {
            const qsizetype tab = t.indexOf(kTab);
            if (tab <= 0 || !known(t.left(tab))) continue;
            QStringList& h = ColumnFilterOf(g, t.left(tab)).history;
            if (!h.contains(t.mid(tab + 1))) h << t.mid(tab + 1);
        }
    QStringList panel;
    if (s.ReadStrings(sec + QStringLiteral(".FilterPanelItems"), panel))
        FilterPanelItems(g) = panel.mid(0, kPanelItemsKept);
    if (ds) {
        const QString text = s.ReadString(sec, QStringLiteral("FilterText"), ds->Filter());
        const bool filtered = s.ReadBool(sec, QStringLiteral("Filtered"), ds->Filtered());
        try {
            ds->setFilter(text);
            ds->setFiltered(filtered && !text.trimmed().isEmpty());
        } catch (const std::exception&) {
            // A stored filter the data no longer takes is dropped with its column conditions.
            SetFilterForField(g, nullptr, QString(), false, true, true);
        }
    }
    g->FilterChangedNotification();
}
