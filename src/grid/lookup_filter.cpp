#include "lookup_filter.h"

#include "dataset.h"
#include "field.h"
#include "filter_expr.h"
#include "filter_text.h"

#include <QSet>
#include <QStringList>
#include <cmath>
#include <vector>

const TField* LookupResultFieldOf(const TField* field) {
    if (!field || field->FieldKind != fkLookup || !field->DataSet() || !field->LookupDataSet ||
        !field->LookupDataSet->Active())
        return nullptr;
    return field->LookupDataSet->FindField(field->LookupResultField);
}

QString LookupKeyCondition(const TField* field, const QString& shownCondition, bool withNull,
                           bool caseInsensitive, QString& error) {
    error.clear();
    const TField* result = LookupResultFieldOf(field);
    if (!result) {
        error = QStringLiteral("The lookup field %1 has no open lookup dataset.").arg(field->FieldName);
        return QString();
    }
    const TDataSet& own = *field->DataSet();
    const TDataSet& lookup = *field->LookupDataSet;
    const QStringList keyNames = field->KeyFields.split(';');
    const QStringList lookupNames = field->LookupKeyFields.split(';');
    std::vector<const TField*> keys, lookupKeys;
    for (qsizetype i = 0; i < keyNames.size(); ++i) {
        const TField* k = own.FindField(keyNames[i].trimmed());
        const TField* lk = i < lookupNames.size() ? lookup.FindField(lookupNames[i].trimmed()) : nullptr;
        if (!k || !lk) {
            error = QStringLiteral("The lookup field %1 has no key field \"%2\".")
                        .arg(field->FieldName, (k ? lookupNames.value(i) : keyNames[i]).trimmed());
            return QString();
        }
        keys.push_back(k);
        lookupKeys.push_back(lk);
    }
    std::unique_ptr<FilterProgram> shown;
    if (!shownCondition.isEmpty()) {
        try {
            shown = FilterProgram::compile(shownCondition, lookup, caseInsensitive);
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
            return QString();
        }
    }
    QSet<QString> seen;
    QStringList matched, notNull; // the keys' conditions
    for (const uint32_t row : lookup.view()) {
        QStringList parts;
        QString id;
        bool nullKey = false;
        for (size_t i = 0; i < keys.size() && !nullKey; ++i) {
            const QVariant v = lookup.valueOfRow(lookupKeys[i], row);
            nullKey = !v.isValid();
            const QString text = ConditionValueText(keys[i], v);
            id += text + QChar(0x1f);
            parts << BuildCondition(keys[i], text, false);
        }
        if (nullKey || seen.contains(id)) continue;
        seen.insert(id);
        const QString key = JoinConditions(QStringLiteral("AND"), parts);
        if (shown && shown->matches(row)) matched << key;
        if (withNull && lookup.valueOfRow(result, row).isValid()) notNull << key;
    }
    const QString isNull = BuildCondition(keys[0], QString(), true);
    const QString isNotNull = BuildCondition(keys[0], QString(), false, QString(), true);
    QStringList out;
    if (!matched.isEmpty()) out << JoinConditions(QStringLiteral("OR"), matched);
    if (withNull) {
        QStringList nulls;
        for (const TField* k : keys)
            nulls << BuildCondition(k, QString(), true);
        // Every record shows NULL when no lookup record has a value.
        nulls << (notNull.isEmpty() ? isNotNull
                                    : QStringLiteral("NOT (") +
                                          JoinConditions(QStringLiteral("OR"), notNull) + QLatin1Char(')'));
        out << JoinConditions(QStringLiteral("OR"), nulls);
    }
    // No key matches: a condition no record satisfies (an empty one would remove the column's filter).
    if (out.isEmpty()) return JoinConditions(QStringLiteral("AND"), {isNull, isNotNull});
    return out.size() == 1 ? out[0] : JoinConditions(QStringLiteral("OR"), out);
}

const TField* SingleLookupKey(const TField* field) {
    if (!LookupResultFieldOf(field) || field->KeyFields.contains(';') || field->LookupKeyFields.contains(';'))
        return nullptr;
    if (!field->LookupDataSet->FindField(field->LookupKeyFields.trimmed())) return nullptr;
    const TField* key = field->DataSet()->FindField(field->KeyFields.trimmed());
    return key != field ? key : nullptr; // a field that is its own key is no lookup
}

QString LookupKeyText(const QVariant& key) {
    // Numbers of any type are equal by value (as variants compare them); other types only to their own.
    switch (key.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return QLatin1Char('#') + key.toString();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = key.toDouble();
        if (d == std::trunc(d) && std::abs(d) < 9.2e18) return QLatin1Char('#') + QString::number(qint64(d));
        return QLatin1Char('#') + QString::number(d, 'g', 17);
    }
    default:
        return QString::number(key.metaType().id()) + QLatin1Char(':') + key.toString();
    }
}

QHash<QString, QVariant> LookupShownByKey(const TField* field) {
    QHash<QString, QVariant> out;
    if (!SingleLookupKey(field)) return out;
    const TDataSet& lookup = *field->LookupDataSet;
    const TField* key = lookup.FindField(field->LookupKeyFields.trimmed());
    const TField* result = LookupResultFieldOf(field);
    for (const uint32_t row : lookup.view()) {
        const QVariant k = lookup.valueOfRow(key, row);
        if (!k.isValid()) continue;
        const QString text = LookupKeyText(k);
        if (!out.contains(text)) out.insert(text, lookup.valueOfRow(result, row)); // the first one shows
    }
    return out;
}
