#include "column_groups.h"

#include "exceptions.h"

namespace {
bool same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Items of a settings line are joined by ";"; a ";" or "\" inside an item is escaped with "\".
QString escaped(const QString& s) {
    QString out;
    for (QChar c : s) {
        if (c == QLatin1Char(';') || c == QLatin1Char('\\')) out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QStringList splitEscaped(const QString& line) {
    QStringList items{QString()};
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('\\') && i + 1 < line.size())
            items.last() += line[++i];
        else if (c == QLatin1Char(';'))
            items << QString();
        else
            items.last() += c;
    }
    return items;
}
} // namespace

QStringList TColumnGroup::Members() const {
    QStringList out;
    for (const QString& f : Fields)
        if (!same(f, Master)) out << f;
    return out;
}

int TColumnGroups::groupOf(const QString& field) const {
    for (int g = 0; g < Groups.size(); ++g)
        if (Groups[g].Fields.contains(field, Qt::CaseInsensitive)) return g;
    return -1;
}

bool TColumnGroups::isMaster(const QString& field) const {
    const int g = groupOf(field);
    return g >= 0 && same(Groups[g].Master, field);
}

bool TColumnGroups::hiddenByGroup(const QString& field) const {
    const int g = Active ? groupOf(field) : -1;
    return g >= 0 && Groups[g].Collapsed && !same(Groups[g].Master, field);
}

bool TColumnGroups::showsGroupText(const QString& field) const {
    const int g = Active ? groupOf(field) : -1;
    return g >= 0 && Groups[g].Collapsed && same(Groups[g].Master, field);
}

QString TColumnGroups::groupText(int group,
                                 const std::function<QString(const QString& field)>& textOf) const {
    if (group < 0 || group >= Groups.size()) return QString();
    QStringList parts;
    for (const QString& f : Groups[group].Fields) {
        const QString t = textOf(f);
        if (!t.isEmpty()) parts << t;
    }
    return parts.join(QLatin1String(", "));
}

QList<TColumnGroup> TColumnGroups::Checked(QList<TColumnGroup> groups) {
    QStringList seen;
    for (TColumnGroup& g : groups) {
        g.Name = g.Name.trimmed();
        const QString label = g.Name.isEmpty() ? g.Master : g.Name;
        if (g.Fields.isEmpty()) throw Exception(QStringLiteral("Group \"%1\" has no columns.").arg(label));
        for (const QString& f : g.Fields) {
            if (seen.contains(f, Qt::CaseInsensitive))
                throw Exception(QStringLiteral("Column \"%1\" is in more than one group.").arg(f));
            seen << f;
        }
        if (!g.Fields.contains(g.Master, Qt::CaseInsensitive)) g.Master = g.Fields.first();
        if (g.Name.isEmpty()) g.Name = g.Master;
    }
    return groups;
}

QStringList TColumnGroups::toLines() const {
    QStringList lines;
    for (const TColumnGroup& g : Groups) {
        QStringList items{escaped(g.Name), g.Collapsed ? QStringLiteral("1") : QStringLiteral("0"),
                          escaped(g.Master)};
        for (const QString& f : g.Fields)
            items << escaped(f);
        lines << items.join(QLatin1Char(';'));
    }
    return lines;
}

QList<TColumnGroup> TColumnGroups::fromLines(const QStringList& lines) {
    QList<TColumnGroup> groups;
    for (const QString& line : lines) {
        const QStringList items = splitEscaped(line);
        if (items.size() < 4) continue;
        TColumnGroup g;
        g.Name = items[0];
        g.Collapsed = items[1] == QLatin1String("1");
        g.Master = items[2];
        g.Fields = items.mid(3);
        try {
            QList<TColumnGroup> both = groups;
            both << g;
            groups = Checked(both);
        } catch (const Exception&) {
            // A line that clashes with the ones before it is dropped.
        }
    }
    return groups;
}
