#include "sql_names.h"

#include "comp_config.h"

bool IsReservedWord(const QString& name) {
    const QString& list = VemoCompConfig().kDBToolCfg.SQLScript_ReservedKeywords;
    // The list without its final comma is searched with one appended; avoid building that copy.
    const QString needle = name + QLatin1Char(',');
    if (list.contains(needle, Qt::CaseInsensitive)) return true;
    return list.endsWith(name, Qt::CaseInsensitive) && !list.endsWith(QLatin1Char(','));
}

namespace {
bool isIdentifierChar(QChar c, bool first) {
    if (c.isLetter() || c == '_' || c == '@' || c == '#') return true;
    return !first && (c.isDigit() || c == '$');
}
} // namespace

bool NameNeedsQuotes(const QString& name) {
    if (name.contains(' ') || name.contains('_') || IsReservedWord(name)) return true;
    for (qsizetype i = 0; i < name.size(); ++i)
        if (!isIdentifierChar(name[i], i == 0)) return true;
    return false;
}

QString QuoteName(const QString& name, QChar start, QChar stop) {
    if (!NameNeedsQuotes(name)) return name;
    QString inner = name;
    inner.replace(stop, QString(2, stop));
    return start + inner + stop;
}

QString QuoteTableName(const QString& name) {
    const TkDBFilterCfg& c = VemoCompConfig().kDBFilterCfg;
    return QuoteName(name, c.TableQuoteStart, c.TableQuoteStop);
}

QString QuoteFieldName(const QString& name) {
    const TkDBFilterCfg& c = VemoCompConfig().kDBFilterCfg;
    return QuoteName(name, c.FieldQuoteStart, c.FieldQuoteStop);
}

QString QuoteTableName(const QString& name, const Dialect& dialect) {
    return dialect.kind() == DialectKind::MSSQL ? QuoteTableName(name) : dialect.quoteIdentifier(name);
}

QString QuoteFieldName(const QString& name, const Dialect& dialect) {
    return dialect.kind() == DialectKind::MSSQL ? QuoteFieldName(name) : dialect.quoteIdentifier(name);
}
