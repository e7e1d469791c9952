#include "filter_text.h"

#include "comp_config.h"
#include "cursor_guard.h"
#include "dataset.h"
#include "db_grid.h"
#include "filter_expr.h"
#include "lookup_filter.h"
#include "messages.h"
#include "prop_save_file.h"
#include "sql_names.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <charconv>

namespace {
const TkDBFilterCfg& cfg() {
    return VemoCompConfig().kDBFilterCfg;
}

// A lookup field filters by its (first) key field.
const TField* keyFieldOf(const TField* f) {
    if (!f || f->FieldKind != fkLookup || !f->DataSet()) return f;
    const QString key = f->KeyFields.section(';', 0, 0).trimmed();
    const TField* k = f->DataSet()->FindField(key);
    return k ? k : f;
}

QString boolWord(bool v) {
    return cfg().BooleanString[v ? 1 : 0];
}

bool textMeansTrue(const QString& text) {
    return text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
           text.compare(cfg().BooleanString[1], Qt::CaseInsensitive) == 0 || text == QLatin1String("1");
}

QString withDecimalSeparator(QString text) {
    const QChar sys = QLocale::system().decimalPoint().at(0);
    if (sys != cfg().DecimalSeparator) text.replace(sys, cfg().DecimalSeparator);
    return text;
}
} // namespace

QString FilterFloatText(double v) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v); // shortest text that reads back to v
    QString t = QString::fromLatin1(buf, ec == std::errc() ? end - buf : 0);
    if (cfg().DecimalSeparator != '.') t.replace('.', cfg().DecimalSeparator);
    return t;
}

QString FilterDateText(const QDate& d) {
    return QLocale::c().toString(d, FilterDateFormat());
}

QString FilterDateText(const QDateTime& v, bool withTime) {
    QString t = FilterDateText(v.date());
    const QTime tm = v.time();
    if (withTime && tm.isValid() && tm != QTime(0, 0)) {
        t += ' ' + tm.toString(QStringLiteral("H:mm:ss"));
        if (tm.msec()) t += tm.toString(QStringLiteral(".zzz"));
    }
    return t;
}

QString QuoteConditionValue(const TField& field, const QString& value) {
    if (!IsQuotedTextField(field)) return value;
    QString v = value;
    return '\'' + v.replace('\'', QLatin1String("''")) + '\'';
}

QString BuildCondition(const TField* field, const QString& value, bool isNull, const QString& op,
                       bool isNotNull) {
    if (!field || !field->DataSet() || !field->DataSet()->Active()) return QString();
    field = keyFieldOf(field);
    if (!IsPlainField(*field) && !IsMemoField(*field)) return QString();
    QString v = value;
    if (IsBooleanField(*field))
        v = boolWord(textMeansTrue(value));
    else if (IsNumericField(*field))
        v = withDecimalSeparator(value);
    QString oper = op.isEmpty() ? QStringLiteral("=") : op;
    QString quoted = QuoteConditionValue(*field, v);
    if (isNull || isNotNull) {
        // " NULL " - the quote of a NULL test is a blank.
        quoted = QStringLiteral(" NULL ");
        oper = isNull ? cfg().NullEqualStr : cfg().NotNullEqualStr;
    }
    return '(' + QuoteFieldName(field->FieldName) + ' ' + oper + ' ' + quoted + ')';
}

QString BuildRangeCondition(const QString& quotedField, const QString& from, const QString& to,
                            const QString& quote) {
    auto q = [&](QString v) {
        if (!quote.isEmpty()) v.replace(quote, quote + quote);
        return quote + v + quote;
    };
    return '(' + quotedField + ">=" + q(from) + ") AND (" + quotedField + "<=" + q(to) + ')';
}

QString JoinConditions(const QString& op, const QStringList& items) {
    QStringList parts;
    for (const QString& it : items) {
        if (it.isEmpty()) continue;
        const bool bracketed = it.startsWith('(') && it.endsWith(')') && it.indexOf('(', 1) < 0;
        parts << (bracketed ? it : '(' + it + ')');
    }
    return parts.join(' ' + op + ' ');
}

bool ApplyFilter(TDataSet* ds, const QString& text, bool showErrors) {
    if (!ds) return false;
    const QString trimmed = text.trimmed();
    const QString oldText = ds->Filter();
    const bool oldOn = ds->Filtered();
    const TBookmark bm = ds->Active() && !ds->IsEmpty() ? ds->GetBookmark() : -1;
    HourglassCursor busy;
    ds->DisableControls();
    const auto enable = qScopeGuard([ds] { ds->EnableControls(); });
    try {
        if (!trimmed.isEmpty()) ds->setFilter(trimmed);
        ds->setFiltered(!trimmed.isEmpty());
    } catch (const std::exception& e) {
        // Put the previous state back: the text may have been taken before the compile failed.
        try {
            ds->setFiltered(false);
            ds->setFilter(oldText);
            ds->setFiltered(oldOn);
        } catch (const std::exception&) {
            ds->setFiltered(false);
        }
        if (showErrors) ShowException(QStringLiteral("Error in expression."), e);
        return false;
    }
    if (ds->Active() && !ds->IsEmpty()) {
        try {
            if (bm >= 0 && ds->BookmarkValid(bm))
                ds->GotoBookmark(bm);
            else
                ds->First();
        } catch (const std::exception&) {
        }
    }
    return true;
}

QString ConditionValueText(const TField* field, const QVariant& v) {
    if (!v.isValid()) return QString();
    if (IsBooleanField(*field)) return boolWord(v.toBool());
    if (field->DataType == ftDate) return FilterDateText(v.toDate());
    if (field->DataType == ftDateTime || field->DataType == ftTimeStamp)
        return FilterDateText(v.toDateTime()); // with its time, so the row itself matches
    if (field->DataType == ftTime)             // with its milliseconds, so the row itself matches
        return v.toTime().toString(v.toTime().msec() ? QStringLiteral("H:mm:ss.zzz")
                                                     : QStringLiteral("H:mm:ss"));
    if (IsNumericField(*field) && (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float))
        return FilterFloatText(v.toDouble());
    return v.toString();
}

QString SelectionCondition(const TField* field) {
    field = keyFieldOf(field);
    if (!field || !field->DataSet() || !field->DataSet()->Active() || field->DataSet()->IsEmpty())
        return QString();
    const QVariant v = field->AsVariant();
    return BuildCondition(field, ConditionValueText(field, v), !v.isValid());
}

bool FilterBySelection(TDataSet* ds, const TField* field, FilterSelMode mode) {
    const QString cond = SelectionCondition(field);
    if (cond.isEmpty() || !ds) return false;
    const QString current = ds->Filter().trimmed();
    QString text = cond;
    if (!current.isEmpty() && ds->Filtered() && mode != FilterSelMode::Replace)
        text = '(' + current + (mode == FilterSelMode::And ? ") AND " : ") OR ") + cond;
    return ApplyFilter(ds, text, true);
}

bool FilterBySelection(TkDBGrid* grid, FilterSelMode mode) {
    if (!grid || !grid->dataSet()) return false;
    const TField* f = grid->fieldOfColumn(grid->currentIndex().column());
    if (!FilterBySelection(grid->dataSet(), f, mode)) return false;
    grid->FilterChangedNotification();
    return true;
}

QString SearchTextCondition(const TField* field, const QString& searchText, QChar likeChar,
                            const QString& likeOperator) {
    if (!field || searchText.isEmpty()) return QString();
    if (const TField* shown = LookupResultFieldOf(field)) {
        // A lookup column searches its shown values: the condition selects the keys showing a match.
        const QVariant v = field->AsVariant();
        const bool byValue = IsBooleanField(*shown) || IsNumericField(*shown) || IsDateTimeField(*shown);
        if (byValue && !v.isValid()) return QString(); // the found record shows nothing to filter by
        const QChar w = likeChar.isNull() ? cfg().FilterWildCardChar : likeChar;
        const QString cond =
            byValue ? BuildCondition(shown, ConditionValueText(shown, v), false, QStringLiteral("="))
                    : BuildCondition(shown, w + searchText + w, false,
                                     likeOperator.isEmpty() ? cfg().FilterLikeOperator : likeOperator);
        QString error;
        const TDataSet* ds = field->DataSet();
        return LookupKeyCondition(field, cond, false, ds && (ds->FilterOptions & foCaseInsensitive), error);
    }
    if (IsBooleanField(*field)) return BuildCondition(field, field->DisplayText(), false);
    // The found record's own value, as a condition holds it (dates with their time, numbers exactly).
    if (IsNumericField(*field) || IsDateTimeField(*field)) {
        const QVariant v = field->AsVariant();
        return BuildCondition(field, ConditionValueText(field, v), !v.isValid(), QStringLiteral("="));
    }
    const QChar w = likeChar.isNull() ? cfg().FilterWildCardChar : likeChar;
    return BuildCondition(field, w + searchText + w, false,
                          likeOperator.isEmpty() ? cfg().FilterLikeOperator : likeOperator);
}

QString SearchFilterHint(const TDataSet* ds) {
    if (ds && ds->Filtered()) return QStringLiteral("* Filtered, Ctrl+Left to reset");
    return QStringLiteral("* Ctrl+Right to filter");
}

bool PeriodDates(const QString& item, const QDate& t, QDate& from, QDate& to) {
    auto monthStart = [](const QDate& d) { return QDate(d.year(), d.month(), 1); };
    auto monthEnd = [](const QDate& first) { return first.addDays(first.daysInMonth() - 1); };
    auto span = [&](const QDate& first, int months) {
        from = first;
        to = first.addMonths(months - 1);
        to = monthEnd(QDate(to.year(), to.month(), 1));
    };
    const QDate quarter(t.year(), (t.month() - 1) / 3 * 3 + 1, 1);
    const QDate half(t.year(), t.month() <= 6 ? 1 : 7, 1);
    const QDate year(t.year(), 1, 1);
    static const QRegularExpression re(QStringLiteral("^([A-Za-z]+)([-+]?\\d+)?$"));
    const auto m = re.match(item);
    if (!m.hasMatch()) return false;
    const QString word = m.captured(1);
    const bool hasN = m.hasCaptured(2) && !m.captured(2).isEmpty();
    const bool signedN = hasN && (m.captured(2).startsWith('-') || m.captured(2).startsWith('+') ||
                                  m.captured(2) == QLatin1String("0"));
    const int n = m.captured(2).toInt();
    if (word == QLatin1String("Yesterday") || word == QLatin1String("Today") ||
        word == QLatin1String("Tomorrow")) {
        from = to = t.addDays(word == QLatin1String("Yesterday") ? -1
                              : word == QLatin1String("Today")   ? 0
                                                                 : 1);
    } else if (word == QLatin1String("MonthFirstDay")) {
        from = to = monthStart(t);
    } else if (word == QLatin1String("MonthLastDay")) {
        from = to = monthEnd(monthStart(t));
    } else if (word == QLatin1String("Week") && signedN) {
        from = t.addDays(1 - t.dayOfWeek() + 7 * n);
        to = from.addDays(6);
    } else if (word == QLatin1String("Month") && signedN) {
        span(monthStart(t).addMonths(n), 1);
    } else if (word == QLatin1String("Month") && hasN && n >= 1 && n <= 12) {
        span(QDate(t.year(), n, 1), 1);
    } else if (word == QLatin1String("Quarter") && signedN) {
        span(quarter.addMonths(3 * n), 3);
    } else if (word == QLatin1String("Quarter") && hasN && n >= 1 && n <= 4) {
        span(QDate(t.year(), 3 * n - 2, 1), 3);
    } else if (word == QLatin1String("Semester") && signedN) {
        span(half.addMonths(6 * n), 6);
    } else if (word == QLatin1String("Semester") && hasN && n >= 1 && n <= 2) {
        span(QDate(t.year(), 6 * n - 5, 1), 6);
    } else if (word == QLatin1String("Year") && signedN) {
        span(year.addYears(n), 12);
    } else if (word == QLatin1String("Year") && hasN) {
        span(QDate(n, 1, 1), 12);
    } else if (word.startsWith(QLatin1String("Since")) || word.startsWith(QLatin1String("Until"))) {
        const QString unit = word.mid(5);
        QDate first;
        int months;
        if (unit == QLatin1String("Month"))
            first = monthStart(t), months = 1;
        else if (unit == QLatin1String("Quarter"))
            first = quarter, months = 3;
        else if (unit == QLatin1String("Semester"))
            first = half, months = 6;
        else if (unit == QLatin1String("Year"))
            first = year, months = 12;
        else
            return false;
        span(first, months);
        if (word.startsWith(QLatin1String("Since")))
            to = t;
        else
            from = t;
    } else {
        return false;
    }
    return true;
}

// ---- stored filters

QString StoredFiltersSection(const TkDBGrid* grid) {
    const QObject* owner = grid ? grid->window() : nullptr;
    return QStringLiteral("lvStoredFilters.") + (owner ? owner->objectName() : QString()) + '.' +
           (grid ? grid->objectName() : QString());
}

QList<StoredFilter> ReadStoredFilters(const QString& section) {
    QList<StoredFilter> rows;
    TPropSaveFile* store = VemoCompConfig().Global_PropSaveFile;
    if (!store) return rows;
    const int count = store->ReadInteger(section, QStringLiteral("Count"), 0);
    for (int i = 0; i < count; ++i) {
        StoredFilter r{store->ReadString(section, QStringLiteral("Name%1").arg(i)),
                       store->ReadString(section, QStringLiteral("Condition%1").arg(i))};
        if (!r.name.isEmpty() || !r.condition.isEmpty()) rows << r;
    }
    return rows;
}

void WriteStoredFilters(const QString& section, const QList<StoredFilter>& rows) {
    TPropSaveFile* store = VemoCompConfig().Global_PropSaveFile;
    if (!store) return;
    store->EraseSection(section);
    store->WriteInteger(section, QStringLiteral("Count"), int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        store->WriteString(section, QStringLiteral("Name%1").arg(i), rows[i].name);
        store->WriteString(section, QStringLiteral("Condition%1").arg(i), rows[i].condition);
    }
}

QString ProposeFilterName(const TDataSet& ds, const QString& filter) {
    QString s = filter;
    s.remove('(').remove(')');
    // One pass: a label put in is never scanned again, so a label holding its own field's name (or
    // another field's) cannot grow the text round after round.
    auto isWord = [](QChar c) { return c.isLetterOrNumber() || c == '_'; };
    QString out;
    out.reserve(s.size());
    bool quoted = false;
    for (qsizetype i = 0; i < s.size();) {
        if (s[i] == '\'') quoted = !quoted;
        const TField* hit = nullptr;
        if (!quoted && (i == 0 || !isWord(s[i - 1])))
            for (int fi = 0; fi < ds.FieldCount() && !hit; ++fi) {
                const TField* f = ds.Fields(fi);
                const qsizetype n = f->FieldName.size();
                if (n && f->DisplayLabel() != f->FieldName &&
                    QStringView(s).mid(i, n).compare(f->FieldName, Qt::CaseInsensitive) == 0 &&
                    (i + n >= s.size() || !isWord(s[i + n])))
                    hit = f;
            }
        if (hit) {
            out += hit->DisplayLabel();
            i += hit->FieldName.size();
        } else {
            out += s[i++];
        }
    }
    return out;
}

bool SaveCurrentFilter(TkDBGrid* grid) {
    TDataSet* ds = grid ? grid->dataSet() : nullptr;
    if (!ds) return false;
    QString name = ProposeFilterName(*ds, ds->Filter());
    if (!Messages().inputBox(QStringLiteral("Input"), QStringLiteral("Filter name:"), name)) return false;
    const QString section = StoredFiltersSection(grid);
    QList<StoredFilter> rows = ReadStoredFilters(section);
    rows << StoredFilter{name, ds->Filter()};
    WriteStoredFilters(section, rows);
    return true;
}

QStringList StoredFilterNames(TkDBGrid* grid) {
    QStringList names;
    for (const StoredFilter& r : ReadStoredFilters(StoredFiltersSection(grid)))
        if (!r.name.isEmpty()) names << r.name;
    return names;
}

bool ApplyStoredFilter(TkDBGrid* grid, const QString& name) {
    bool result = false;
    for (const StoredFilter& r : ReadStoredFilters(StoredFiltersSection(grid)))
        if (r.name.compare(name, Qt::CaseInsensitive) == 0)
            result = ApplyFilter(grid->dataSet(), r.condition, true);
    if (result) grid->FilterChangedNotification();
    return result;
}
