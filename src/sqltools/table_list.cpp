#include "table_list.h"

#include "dataset.h"
#include "sql_names.h"

namespace {
// One character against a "[...]" set starting at mask[i] (after the "["); moves i past the "]".
bool matchSet(const QString& mask, int& i, QChar c, bool& wellFormed) {
    bool negate = false, hit = false;
    if (i < mask.size() && (mask[i] == '!' || mask[i] == '^')) {
        negate = true;
        ++i;
    }
    bool first = true;
    while (i < mask.size() && (mask[i] != ']' || first)) {
        QChar lo = mask[i].toLower();
        QChar hi = lo;
        if (i + 2 < mask.size() && mask[i + 1] == '-' && mask[i + 2] != ']') {
            hi = mask[i + 2].toLower();
            i += 2;
        }
        if (c >= lo && c <= hi) hit = true;
        ++i;
        first = false;
    }
    wellFormed = i < mask.size();
    if (wellFormed) ++i; // the "]"
    return hit != negate;
}

bool matchFrom(const QString& name, int n, const QString& mask, int m) {
    while (m < mask.size()) {
        const QChar p = mask[m];
        if (p == '*') {
            while (m < mask.size() && mask[m] == '*')
                ++m;
            if (m == mask.size()) return true;
            for (int k = n; k <= name.size(); ++k)
                if (matchFrom(name, k, mask, m)) return true;
            return false;
        }
        if (n >= name.size()) return false;
        const QChar c = name[n].toLower();
        if (p == '?') {
            ++m;
        } else if (p == '[') {
            int i = m + 1;
            bool wellFormed = true;
            bool hit = matchSet(mask, i, c, wellFormed);
            if (!wellFormed) {
                // An unclosed "[" is an ordinary character.
                if (c != '[') return false;
                ++m;
            } else {
                if (!hit) return false;
                m = i;
            }
        } else {
            if (p.toLower() != c) return false;
            ++m;
        }
        ++n;
    }
    return n == name.size();
}
} // namespace

bool MatchesMask(const QString& name, const QString& mask) {
    if (mask.isEmpty()) return false;
    return matchFrom(name, 0, mask, 0);
}

bool TakeTableType(const QString& type, TableChoice choice) {
    if (type.compare(QLatin1String("table"), Qt::CaseInsensitive) == 0) return choice != TableChoice::Views;
    if (type.compare(QLatin1String("view"), Qt::CaseInsensitive) == 0) return choice != TableChoice::Tables;
    return false;
}

QStringList TableNamesOf(TDataSet& rowset, TableChoice choice, const QString& excludeMask) {
    QStringList names;
    TField* type = rowset.FieldByName(QStringLiteral("TABLE_TYPE"));
    TField* name = rowset.FieldByName(QStringLiteral("TABLE_NAME"));
    for (int pos = 0; pos < rowset.RecordCount(); ++pos) {
        if (!TakeTableType(rowset.valueAt(type, pos).toString(), choice)) continue;
        const QString n = rowset.valueAt(name, pos).toString();
        if (!n.isEmpty() && !MatchesMask(n, excludeMask)) names << n;
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

QString TableExpression(const QString& name, const QString& prefix, const QString& start, const QString& stop,
                        const Dialect& dialect) {
    QString quoted;
    if (!start.isEmpty())
        quoted = start + (stop.isEmpty() ? name : QString(name).replace(stop, stop + stop)) + stop;
    else
        quoted = QuoteTableName(name, dialect);
    return prefix + quoted;
}

QString SelectRows(const QString& expr, int rows, const Dialect& dialect) {
    return rows < 0 ? QStringLiteral("SELECT * FROM %1").arg(expr) : dialect.selectTop(expr, rows);
}

LoadStatements LoadStatementsFor(const QString& expr, int topThousands, const Dialect& dialect) {
    LoadStatements s;
    s.count = dialect.countRows(expr);
    s.data = SelectRows(expr, topThousands <= 0 ? -1 : topThousands * 1000, dialect);
    return s;
}
