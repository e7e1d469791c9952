// The filter evaluator and the view sort against SQLite: random expressions from the filter grammar (a
// fixed seed) run both as a dataset filter and as a WHERE clause over the same rows of one SQLite file;
// the same row ids must come back. Sorts are compared with ORDER BY (NULLs first, ties in fetch order).
#include "connection.h"
#include "query.h"
#include "test_util.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>
#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>
#include <numeric>
#include <optional>
#include <random>

namespace {
constexpr int kRows = 400;

struct Gen {
    std::mt19937 rng;
    explicit Gen(unsigned seed) : rng(seed) {}
    int pick(int n) { return int(rng() % unsigned(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    QString text() { // letters only: byte order, NOCASE and the sort's collation agree on them
        static const char letters[] = "abcAB";
        QString s;
        for (int n = pick(4); n > 0; --n)
            s += QChar(letters[pick(5)]);
        return s;
    }
    QString intValue() { return QString::number(pick(21) - 10); }
    QString realValue() {
        static const char* values[] = {"-2.5", "0", "0.1", "1", "1.5", "3.25", "1e2", "-0.75"};
        return values[pick(8)];
    }
    QString dateValue() { return QString("2026-0%1-%2").arg(1 + pick(3)).arg(10 + pick(3)); }
};

// One condition in both languages.
struct Cond {
    QString filter, where;
};

class Builder {
public:
    Builder(Gen& g, bool ci) : g_(g), ci_(ci) {}

    Cond expr(int depth) {
        return chain(" OR ", depth,
                     [this](int d) { return chain(" AND ", d, [this](int d2) { return notExpr(d2); }); });
    }

private:
    // Items of the next level joined by op: expr := and {OR and}, and := not {AND not}.
    template <typename Next> Cond chain(const QString& op, int depth, Next next) {
        Cond c = next(depth);
        while (depth > 0 && g_.chance(30)) {
            Cond r = next(depth);
            c = {c.filter + op + r.filter, c.where + op + r.where};
        }
        return c;
    }
    Cond notExpr(int depth) {
        if (g_.chance(15)) {
            Cond c = notExpr(depth);
            return {"NOT " + c.filter, "NOT " + c.where};
        }
        if (depth > 0 && g_.chance(25)) {
            Cond c = expr(depth - 1);
            return {"(" + c.filter + ")", "(" + c.where + ")"};
        }
        if (g_.chance(10)) return valueList();
        return leaf();
    }
    // An OR of equalities on one field: the evaluator answers these with one set look-up.
    Cond valueList() {
        const int field = g_.pick(3);
        QStringList f, w;
        for (int n = 4 + g_.pick(6); n > 0; --n) {
            Cond c = compare(field, "=");
            f << c.filter;
            w << c.where;
        }
        return {"(" + f.join(" OR ") + ")", "(" + w.join(" OR ") + ")"};
    }
    Cond leaf() {
        const int field = g_.pick(5);
        static const char* names[] = {"i", "r", "[s t]", "b", "d"};
        static const char* cols[] = {"i", "r", "\"s t\"", "b", "d"};
        if (g_.chance(12)) {
            const bool isNot = g_.chance(50);
            return {QString(names[field]) + (isNot ? " IS NOT NULL" : " IS NULL"),
                    QString(cols[field]) + (isNot ? " IS NOT NULL" : " IS NULL")};
        }
        if (g_.chance(5)) {
            const bool ne = g_.chance(50);
            return {QString(names[field]) + (ne ? " <> NULL" : " = NULL"),
                    QString(cols[field]) + (ne ? " IS NOT NULL" : " IS NULL")};
        }
        static const char* ops[] = {"=", "<>", "<", ">", "<=", ">="};
        if (field == 3) return compare(field, ops[g_.pick(2)]);
        if (field == 2 && g_.chance(25)) return like();
        return compare(field, ops[g_.pick(6)]);
    }
    Cond compare(int field, const QString& op) {
        QString lit, sqlLit, name, col;
        switch (field) {
        case 0:
            name = col = "i";
            lit = sqlLit = g_.intValue();
            if (g_.chance(15)) lit = sqlLit = lit + ".5"; // an integer column against a fraction
            break;
        case 1:
            name = col = "r";
            lit = sqlLit = g_.realValue();
            break;
        case 2: {
            name = "[s t]";
            col = "\"s t\"";
            const QString t = g_.text();
            lit = sqlLit = "'" + t + "'";
            if (ci_ && (op == "=" || op == "<>")) sqlLit += " COLLATE NOCASE";
            break;
        }
        case 3:
            name = col = "b";
            lit = g_.chance(50) ? "true" : "false";
            sqlLit = lit == "true" ? "1" : "0";
            break;
        default:
            name = col = "d";
            lit = sqlLit = "'" + g_.dateValue() + "'";
            break;
        }
        // The evaluator has two truth values: a comparison with a NULL field is false, also under NOT.
        return {name + " " + op + " " + lit, "IFNULL(" + col + " " + op + " " + sqlLit + ", 0)"};
    }
    Cond like() {
        QString p;
        for (int n = 1 + g_.pick(3); n > 0; --n)
            p += g_.chance(50) ? QString("*") : g_.text();
        QString sqlP = p;
        sqlP.replace('*', '%');
        return {"[s t] LIKE '" + p + "'", "IFNULL(\"s t\" LIKE '" + sqlP + "', 0)"};
    }

    Gen& g_;
    bool ci_;
};

class FilterDifferential : public ::testing::Test {
protected:
    void SetUp() override {
        Gen g(20261210);
        QString sql =
            "CREATE TABLE d (id INTEGER PRIMARY KEY, i INTEGER, r REAL, \"s t\" TEXT, b BOOLEAN, d DATE);";
        for (int id = 1; id <= kRows; ++id) {
            auto maybe = [&](const QString& v) { return g.chance(10) ? QString("NULL") : v; };
            sql += QString("INSERT INTO d VALUES (%1, %2, %3, %4, %5, %6);")
                       .arg(id)
                       .arg(maybe(g.intValue()), maybe(g.realValue()), maybe("'" + g.text() + "'"),
                            maybe(g.chance(50) ? "1" : "0"), maybe("'" + g.dateValue() + "'"));
        }
        db = MakeSqliteDb(dir.path("d.sqlite"), sql);
        con.ConnectionString = "Provider=SQLite;Data Source=" + db;
        con.Open();
        q.Connection = &con;
        q.SQL = "SELECT * FROM d ORDER BY id";
        q.Open();
        ASSERT_EQ(q.RecordCount(), kRows);
    }
    QList<qint64> viewIds() {
        QList<qint64> out;
        const TField* id = q.FieldByName("id");
        for (int i = 0; i < q.RecordCount(); ++i)
            out << q.valueAt(id, i).toLongLong();
        return out;
    }
    QList<qint64> sqlIds(const QString& sql) {
        TADOQuery s(&con);
        s.Connection = &con;
        s.SQL = sql;
        s.Open();
        QList<qint64> out;
        for (; !s.Eof(); s.Next())
            out << s.FieldValue("id").toLongLong();
        return out;
    }

    TempDir dir;
    QString db;
    TADOConnection con;
    TADOQuery q{&con};
};
} // namespace

TEST_F(FilterDifferential, SameRowsAsWhere) {
    for (bool ci : {false, true}) {
        Gen g(ci ? 7 : 11);
        con.Execute(ci ? "PRAGMA case_sensitive_like = OFF" : "PRAGMA case_sensitive_like = ON");
        q.FilterOptions = ci ? foCaseInsensitive : 0;
        int nonTrivial = 0;
        for (int n = 0; n < 300; ++n) {
            Builder b(g, ci);
            const Cond c = b.expr(2);
            q.setFiltered(false);
            q.setFilter(c.filter);
            q.setFiltered(true);
            const QList<qint64> expected = sqlIds("SELECT id FROM d WHERE " + c.where + " ORDER BY id");
            ASSERT_EQ(viewIds(), expected)
                << (ci ? "[ci] " : "") << c.filter.toStdString() << "\n  WHERE " << c.where.toStdString();
            if (!expected.isEmpty() && expected.size() < kRows) ++nonTrivial;
        }
        EXPECT_GT(nonTrivial, 100); // the generator is not stuck on all or nothing
    }
}

TEST_F(FilterDifferential, SortSameAsOrderBy) {
    const QStringList keys = {"i", "r", "[s t]", "b", "d", "i DESC", "r DESC", "[s t] DESC", "d DESC"};
    Gen g(3);
    for (int n = 0; n < 60; ++n) {
        QStringList sort, order;
        for (int k = 1 + g.pick(3); k > 0; --k) {
            QString key = keys[g.pick(int(keys.size()))];
            sort << key;
            key.replace("[s t]", "\"s t\" COLLATE NOCASE");
            order << key;
        }
        q.setSort(sort.join(','));
        ASSERT_EQ(viewIds(), sqlIds("SELECT id FROM d ORDER BY " + order.join(", ") + ", id"))
            << sort.join(',').toStdString();
    }
}

// A value list (answered by one set look-up) selects exactly the union of its single tests, in every
// storage kind and with non-ASCII text under both case modes.
TEST(FilterValueList, SameAsTheUnionOfItsTests) {
    TempDir dir;
    const QString db = MakeSqliteDb(
        dir.path("v.sqlite"), "CREATE TABLE v (id INTEGER PRIMARY KEY, i INTEGER, r REAL, s TEXT, b BOOLEAN,"
                              " d DATETIME);"
                              "INSERT INTO v VALUES (1, 1, 0.5, 'Čech', 1, '2026-01-01 10:00:00'),"
                              " (2, 2, 1.0, 'čech', 0, '2026-01-02'), (3, 3, -0.0, 'abc', NULL, NULL),"
                              " (4, NULL, NULL, 'ABC', 1, '2026-01-03'), (5, 5, 2.25, NULL, 0, '2026-01-04'),"
                              " (6, 6, 3.0, 'x''y', 1, '2026-01-05');");
    TADOConnection con;
    con.ConnectionString = "Provider=SQLite;Data Source=" + db;
    con.Open();
    TADOQuery q(&con);
    q.SQL = "SELECT * FROM v ORDER BY id";
    q.Open();
    auto rowsOf = [&](const QString& filter) {
        q.setFiltered(false);
        q.setFilter(filter);
        q.setFiltered(true);
        QSet<int> out;
        for (int i = 0; i < q.RecordCount(); ++i)
            out << q.valueAt(q.FieldByName("id"), i).toInt();
        return out;
    };
    const QStringList lists[] = {
        {"i = 1", "i = 2.0", "i = 2.5", "i = 6", "i = 9"},
        {"r = 0.5", "r = 0", "r = 3", "r = 7", "r = 2.25"},
        {"s = 'čech'", "s = 'abc'", "s = 'x''y'", "s = 'zz'"},
        {"b = true", "b = true", "b = false", "b = true"},
        {"d = '2026-01-02'", "d = '2026-01-01 10:00:00'", "d = '2026-01-05'", "d = '2027-01-01'"},
    };
    for (int ci : {0, int(foCaseInsensitive)}) {
        q.FilterOptions = ci;
        for (const QStringList& items : lists) {
            QSet<int> expected;
            for (const QString& t : items)
                expected |= rowsOf(t);
            EXPECT_EQ(rowsOf(items.join(" OR ")), expected)
                << items.join(" OR ").toStdString() << " ci=" << ci;
        }
    }
}

// Text sorts against the collator's own keys of the case-folded texts, in the C locale (whose keys are
// the UTF-8 bytes) and in locales with a real collation: texts with long common prefixes (the keys are
// compared in pieces), prefixes of each other, case variants, accented, Greek and CJK letters, a
// character beyond the BMP, empty texts and NULLs; duplicates keep their fetch order; second keys
// order only the ties of the first. Column c holds printable ASCII alone (sorted by character ranks
// where the collation allows it): letters that contract ("ch", "aa", "lj", "dzs") or differ only after the
// first level ("v" and "w" in Finnish) in some of the locales, digits, punctuation; column d mostly such
// texts and a few others, which are placed among them by comparing texts.
TEST(TextSort, SameOrderAsTheCollatorKeys) {
    static const char* const pieces[] = {"a",
                                         "A",
                                         "b",
                                         "ab",
                                         "abcdefg",
                                         "ABCDEFGH",
                                         " ",
                                         "-",
                                         "\xc3\xa9",
                                         "\xc3\x89",
                                         "\xc3\x9f",
                                         "ss",
                                         "z",
                                         "0",
                                         "\xce\xa9",
                                         "\xcf\x89",
                                         "\xe4\xb8\xad",
                                         "\xf0\x9f\x98\x80",
                                         "ch",
                                         "h",
                                         "\xef\xbf\xbd",
                                         "long prefix ",
                                         "e\xcc\x81",
                                         "\xc2\xad",
                                         "\xc3\xa4",
                                         "10",
                                         "\t"};
    static const char* const asciiPieces[] = {
        "a",  "A",  "aa", "b",  "ch",  "Ch", "h", "v", "W", "w", "z", "0", "10", "9", " ",
        "-",  "_",  ".",  "~",  "`",   "[",  "{", "@", "/", "!", "^", "|", "+",  "<", "long prefix ",
        "lj", "nJ", "l",  "cs", "dzs", "s"};
    std::mt19937 rng(20261211);
    auto pick = [&](size_t n) { return size_t(rng() % n); };
    QStringList values; // of columns a and b per row, as SQL literals
    QList<std::optional<QString>> as, bs, cs, ds;
    QList<int> ns;
    // Enough rows that a sort by a has its keys made in two halves.
    for (int id = 1; id <= 5000; ++id) {
        auto text = [&](bool ascii = false) -> std::optional<QString> {
            if (pick(12) == 0) return std::nullopt;
            QString s;
            for (size_t n = pick(6); n > 0; --n)
                s += QString::fromUtf8(ascii ? asciiPieces[pick(std::size(asciiPieces))]
                                             : pieces[pick(std::size(pieces))]);
            // Now and then a text whose collation key is longer than most.
            if (pick(40) == 0) s = s.repeated(40);
            return s;
        };
        // Few distinct values in b, so that a sort by it leaves long runs of ties.
        std::optional<QString> a = text(),
                               b = pick(3) ? std::optional<QString>(QString(QChar('a' + int(pick(3)))))
                                           : text();
        const std::optional<QString> c = text(true);
        // Few distinct texts, now and then one that is not printable ASCII (some equal to ASCII ones:
        // "ß" and "ss" at the strength used, a soft hyphen is ignored).
        std::optional<QString> d;
        if (pick(12)) {
            static const char* const few[] = {"a", "ss", "B", "x"};
            static const char* const rare[] = {"\xc3\x9f", "\xc2\xad", "\xc3\xa9", "\t", "\xc3\x9fss"};
            d = QString();
            for (size_t k = 1 + pick(3); k > 0; --k)
                *d += QString::fromUtf8(few[pick(std::size(few))]);
            if (pick(25) == 0) *d += QString::fromUtf8(rare[pick(std::size(rare))]);
        }
        const int n = int(pick(5));
        as << a;
        bs << b;
        cs << c;
        ds << d;
        ns << n;
        auto lit = [](const std::optional<QString>& v) { return v ? "'" + *v + "'" : QString("NULL"); };
        values << QString("(%1, %2, %3, %4, %5, %6)").arg(id).arg(lit(a), lit(b)).arg(n).arg(lit(c), lit(d));
    }
    TempDir dir;
    const QString db =
        MakeSqliteDb(dir.path("t.sqlite"),
                     "CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT, b TEXT, n INTEGER, c TEXT, d TEXT);"
                     "INSERT INTO t VALUES " +
                         values.join(',') + ";");
    struct Key {
        const QList<std::optional<QString>>* texts; // or the integers ns
        bool desc;
    };
    const struct {
        const char* sort;
        std::vector<Key> keys;
    } sorts[] = {
        {"a", {{&as, false}}},
        {"a DESC", {{&as, true}}},
        {"b,a", {{&bs, false}, {&as, false}}},
        {"b DESC,a DESC", {{&bs, true}, {&as, true}}},
        {"b,n DESC", {{&bs, false}, {nullptr, true}}},
        {"n,b DESC,a", {{nullptr, false}, {&bs, true}, {&as, false}}},
        {"c", {{&cs, false}}},
        {"c DESC", {{&cs, true}}},
        {"b,c", {{&bs, false}, {&cs, false}}},
        {"n DESC,c DESC", {{nullptr, true}, {&cs, true}}},
        {"c,a", {{&cs, false}, {&as, false}}},
        {"d", {{&ds, false}}},
        {"d DESC", {{&ds, true}}},
        {"d,n", {{&ds, false}, {nullptr, false}}},
        {"d DESC,n DESC", {{&ds, true}, {nullptr, true}}},
        {"b,d", {{&bs, false}, {&ds, false}}},
        {"n,d DESC", {{nullptr, false}, {&ds, true}}},
    };
    for (const char* locale : {"C", "en_US", "cs_CZ", "da_DK", "fi_FI", "hr_HR", "hu_HU"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        QCollator coll;
        coll.setCaseSensitivity(Qt::CaseInsensitive);
        auto keysOf = [&](const QList<std::optional<QString>>& texts) {
            std::vector<std::optional<QCollatorSortKey>> keys;
            for (const auto& t : texts)
                keys.push_back(t ? std::optional(coll.sortKey(t->toCaseFolded())) : std::nullopt);
            return keys;
        };
        const auto aKeys = keysOf(as), bKeys = keysOf(bs), cKeys = keysOf(cs), dKeys = keysOf(ds);
        TADOConnection con;
        con.ConnectionString = "Provider=SQLite;Data Source=" + db;
        con.Open();
        TADOQuery q(&con);
        q.SQL = "SELECT * FROM t ORDER BY id";
        q.Open();
        for (const auto& s : sorts) {
            // NULLs first, last when descending; ties in fetch order.
            auto compare = [&](const Key& k, int x, int y) {
                int r;
                if (!k.texts) {
                    r = ns[x] < ns[y] ? -1 : (ns[x] > ns[y] ? 1 : 0);
                } else {
                    const auto& keys = k.texts == &as   ? aKeys
                                       : k.texts == &bs ? bKeys
                                       : k.texts == &cs ? cKeys
                                                        : dKeys;
                    if (!keys[size_t(x)] || !keys[size_t(y)])
                        r = bool(keys[size_t(x)]) == bool(keys[size_t(y)]) ? 0 : (keys[size_t(x)] ? 1 : -1);
                    else
                        r = keys[size_t(x)]->compare(*keys[size_t(y)]);
                }
                return k.desc ? -r : r;
            };
            QList<int> expected(as.size());
            std::iota(expected.begin(), expected.end(), 0);
            std::stable_sort(expected.begin(), expected.end(), [&](int x, int y) {
                for (const Key& k : s.keys)
                    if (int r = compare(k, x, y)) return r < 0;
                return false;
            });
            q.setSort(s.sort);
            QList<int> got;
            for (int i = 0; i < q.RecordCount(); ++i)
                got << q.valueAt(q.FieldByName("id"), i).toInt() - 1;
            ASSERT_EQ(got, expected) << locale << ": " << s.sort;
        }
    }
    QLocale::setDefault(QLocale::system());
}
