#include "filter_expr.h"

#include "comp_config.h"
#include "dataset.h"
#include "exceptions.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {
enum class Op { Eq, Ne, Lt, Gt, Le, Ge, Like };

bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

bool equalsAsciiCI(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

// Finds needle in hay from `from`; ASCII case-insensitively when ci.
size_t findSeg(std::string_view hay, std::string_view needle, size_t from, bool ci) {
    if (!ci) return hay.find(needle, from);
    if (needle.empty()) return from;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i)
        if (equalsAsciiCI(hay.substr(i, needle.size()), needle)) return i;
    return std::string_view::npos;
}

// A LIKE pattern split at its wildcards: prefix, middle segments, suffix.
struct LikePattern {
    std::vector<std::string> segs; // segments between wildcards (first = prefix, last = suffix)
    bool anchoredStart = true, anchoredEnd = true;

    void build(const QString& pattern) {
        QByteArray p = pattern.toUtf8();
        std::string cur;
        segs.clear();
        for (char c : p) {
            if (c == '*' || c == '%') {
                segs.push_back(cur);
                cur.clear();
            } else {
                cur += c;
            }
        }
        segs.push_back(cur);
        anchoredStart = anchoredEnd = true; // a wildcard shows as an extra segment boundary
    }

    bool match(std::string_view s, bool ci) const {
        if (segs.size() == 1) return ci ? equalsAsciiCI(s, segs[0]) : s == segs[0];
        const std::string& first = segs.front();
        const std::string& last = segs.back();
        if (s.size() < first.size() + last.size()) return false;
        if (ci ? !equalsAsciiCI(s.substr(0, first.size()), first) : s.substr(0, first.size()) != first)
            return false;
        std::string_view tail = s.substr(s.size() - last.size());
        if (ci ? !equalsAsciiCI(tail, last) : tail != last) return false;
        size_t pos = first.size();
        size_t end = s.size() - last.size();
        for (size_t i = 1; i + 1 < segs.size(); ++i) {
            size_t f = findSeg(s.substr(0, end), segs[i], pos, ci);
            if (f == std::string_view::npos) return false;
            pos = f + segs[i].size();
        }
        return pos <= end;
    }
};
} // namespace

// The values of an OR of equality tests on one field, looked up at once: a value list of a thousand
// items costs one hash probe per row instead of a thousand comparisons.
struct ValueSet {
    std::unordered_set<int64_t> ints;          // Int, Bool and DateTime columns
    std::unordered_set<double> floats;         // Float columns
    std::vector<std::string> texts;            // owners of the views below
    std::unordered_set<std::string_view> keys; // text, case-folded when ci
};

struct FilterProgram::Node {
    enum Kind { And, Or, Not, IsNull, Compare, Const, InSet } kind;
    std::unique_ptr<Node> a, b;
    // leaves
    const TDataSet* ds = nullptr;
    const TField* field = nullptr;
    const Column* col = nullptr;
    Op op = Op::Eq;
    bool negate = false; // IS NOT NULL
    bool constValue = false;
    bool ci = false;
    bool litNull = false;
    StorageKind kind2 = StorageKind::Text;
    int64_t litInt = 0;
    double litFloat = 0;
    bool litIsInt = false;
    std::string litText; // UTF-8 (case-folded when ci)
    QString litQ;        // text for non-ASCII or non-store comparisons
    LikePattern like;
    LikePattern likeFolded;
    std::unique_ptr<ValueSet> set;

    bool eval(uint32_t row) const;
    bool evalSet(uint32_t row) const;
    bool evalText(std::string_view s) const;
    bool evalVariant(const QVariant& v) const;
};

namespace {
template <typename T> bool cmp(Op op, T x, T y) {
    switch (op) {
    case Op::Eq:
        return x == y;
    case Op::Ne:
        return x != y;
    case Op::Lt:
        return x < y;
    case Op::Gt:
        return x > y;
    case Op::Le:
        return x <= y;
    case Op::Ge:
        return x >= y;
    default:
        return false;
    }
}
} // namespace

bool FilterProgram::Node::evalText(std::string_view s) const {
    if (op == Op::Like) {
        if (!ci || isAscii(s)) return like.match(s, ci);
        QByteArray f = QString::fromUtf8(s.data(), qsizetype(s.size())).toCaseFolded().toUtf8();
        return likeFolded.match(std::string_view(f.constData(), size_t(f.size())), false);
    }
    if (ci && (op == Op::Eq || op == Op::Ne)) {
        bool eq;
        if (isAscii(s) && isAscii(litText))
            eq = equalsAsciiCI(s, litText);
        else
            eq = QString::fromUtf8(s.data(), qsizetype(s.size())).toCaseFolded() == litQ;
        return op == Op::Eq ? eq : !eq;
    }
    return cmp(op, s, std::string_view(litText));
}

bool FilterProgram::Node::evalVariant(const QVariant& v) const {
    if (!v.isValid()) return litNull && (op == Op::Eq);
    if (litNull) return op == Op::Ne;
    QByteArray u = (op == Op::Like ? field->formatValue(v) : v.toString()).toUtf8();
    return evalText(std::string_view(u.constData(), size_t(u.size())));
}

bool FilterProgram::Node::eval(uint32_t row) const {
    switch (kind) {
    case And:
        return a->eval(row) && b->eval(row);
    case Or:
        return a->eval(row) || b->eval(row);
    case Not:
        return !a->eval(row);
    case Const:
        return constValue;
    case InSet:
        return evalSet(row);
    case IsNull: {
        bool isNull = col ? col->isNull(row) : !ds->valueOfRow(field, row).isValid();
        return negate ? !isNull : isNull;
    }
    case Compare:
        break;
    }
    if (!col) return evalVariant(ds->valueOfRow(field, row));
    if (col->isNull(row)) return litNull && op == Op::Eq;
    if (op == Op::Like && kind2 != StorageKind::Text && kind2 != StorageKind::Bytes) {
        // LIKE over a number, date or boolean matches the text the grid shows for it.
        QByteArray u = field->formatValue(ds->valueOfRow(field, row)).toUtf8();
        return like.match(std::string_view(u.constData(), size_t(u.size())), ci);
    }
    if (litNull) return op == Op::Ne;
    switch (kind2) {
    case StorageKind::Text:
    case StorageKind::Bytes:
        return evalText(col->bytesAt(row, ds->store().arena()));
    case StorageKind::Float:
        return cmp(op, col->floatAt(row), litFloat);
    default:
        if (litIsInt) return cmp(op, col->intAt(row), litInt);
        return cmp(op, double(col->intAt(row)), litFloat);
    }
}

bool FilterProgram::Node::evalSet(uint32_t row) const {
    if (col->isNull(row)) return false;
    switch (kind2) {
    case StorageKind::Text:
    case StorageKind::Bytes: {
        std::string_view s = col->bytesAt(row, ds->store().arena());
        if (!ci) return set->keys.count(s) != 0;
        if (isAscii(s)) {
            char buf[256];
            std::string big;
            char* out = buf;
            if (s.size() > sizeof buf) {
                big.resize(s.size());
                out = big.data();
            }
            for (size_t i = 0; i < s.size(); ++i)
                out[i] = lowerAscii(s[i]);
            return set->keys.count(std::string_view(out, s.size())) != 0;
        }
        QByteArray f = QString::fromUtf8(s.data(), qsizetype(s.size())).toCaseFolded().toUtf8();
        return set->keys.count(std::string_view(f.constData(), size_t(f.size()))) != 0;
    }
    case StorageKind::Float:
        return set->floats.count(col->floatAt(row)) != 0;
    default:
        return set->ints.count(col->intAt(row)) != 0;
    }
}

namespace {
using NodeP = std::unique_ptr<FilterProgram::Node>;

// Whether a leaf is "field = value" that a value set can answer exactly as the leaf would.
bool setCandidate(const FilterProgram::Node& n) {
    if (n.kind != FilterProgram::Node::Compare || n.op != Op::Eq || !n.col || n.litNull) return false;
    switch (n.col->kind()) {
    case StorageKind::Text:
    case StorageKind::Bytes:
    case StorageKind::Float:
        return true;
    default:
        return n.litIsInt; // an integer column against a fraction compares as floats
    }
}

void addToSet(FilterProgram::Node& s, const FilterProgram::Node& leaf) {
    switch (s.kind2) {
    case StorageKind::Text:
    case StorageKind::Bytes: {
        QString key =
            s.ci ? QString::fromUtf8(leaf.litText.data(), qsizetype(leaf.litText.size())).toCaseFolded()
                 : QString();
        s.set->texts.push_back(s.ci ? key.toUtf8().toStdString() : leaf.litText);
        break;
    }
    case StorageKind::Float:
        s.set->floats.insert(leaf.litFloat);
        break;
    default:
        s.set->ints.insert(leaf.litInt);
        break;
    }
}

// Joins operands with one operator into a tree of logarithmic depth, in their order (so evaluation
// and its short cuts go as written): a long chain must not become a recursion as deep as it is long.
NodeP joinBalanced(FilterProgram::Node::Kind kind, std::vector<NodeP>& items, size_t from, size_t to) {
    if (to - from == 1) return std::move(items[from]);
    const size_t mid = from + (to - from) / 2;
    auto n = std::make_unique<FilterProgram::Node>();
    n->kind = kind;
    n->a = joinBalanced(kind, items, from, mid);
    n->b = joinBalanced(kind, items, mid, to);
    return n;
}

void collectOr(NodeP& n, std::vector<NodeP>& out) {
    if (n->kind == FilterProgram::Node::Or) {
        collectOr(n->a, out);
        collectOr(n->b, out);
    } else {
        out.push_back(std::move(n));
    }
}

// Rewrites ORs of four or more equality tests on one field into one value-set node.
void optimize(NodeP& n) {
    constexpr size_t kMinSetItems = 4;
    if (n->kind == FilterProgram::Node::And || n->kind == FilterProgram::Node::Not) {
        optimize(n->a);
        if (n->b) optimize(n->b);
        return;
    }
    if (n->kind != FilterProgram::Node::Or) return;
    std::vector<NodeP> items;
    collectOr(n, items);
    for (NodeP& it : items)
        optimize(it);
    std::vector<std::pair<const Column*, size_t>> counts;
    for (const NodeP& it : items) {
        if (!setCandidate(*it)) continue;
        auto c = std::find_if(counts.begin(), counts.end(), [&](auto& p) { return p.first == it->col; });
        if (c == counts.end())
            counts.push_back({it->col, 1});
        else
            ++c->second;
    }
    std::vector<NodeP> kept;
    for (auto [col, count] : counts) {
        if (count < kMinSetItems) continue;
        auto s = std::make_unique<FilterProgram::Node>();
        s->kind = FilterProgram::Node::InSet;
        s->set = std::make_unique<ValueSet>();
        for (NodeP& it : items) {
            if (!it || !setCandidate(*it) || it->col != col) continue;
            if (!s->ds) {
                s->ds = it->ds;
                s->field = it->field;
                s->col = col;
                s->ci = it->ci;
                s->kind2 = col->kind();
            }
            addToSet(*s, *it);
            it.reset();
        }
        for (const std::string& t : s->set->texts)
            s->set->keys.insert(t);
        kept.push_back(std::move(s));
    }
    for (NodeP& it : items)
        if (it) kept.push_back(std::move(it));
    n = joinBalanced(FilterProgram::Node::Or, kept, 0, kept.size());
}

class Parser {
public:
    Parser(const QString& text, const TDataSet& ds, bool ci) : s_(text), ds_(ds), ci_(ci) {}

    std::unique_ptr<FilterProgram::Node> parse() {
        auto n = parseOr();
        skip();
        if (i_ < s_.size()) fail(QStringLiteral("unexpected '%1'").arg(s_.mid(i_, 10)));
        return n;
    }

private:
    using NodeP = std::unique_ptr<FilterProgram::Node>;

    [[noreturn]] void fail(const QString& what, qsizetype at = -1) const {
        throw EDatabaseError(
            QStringLiteral("Filter error at position %1: %2").arg((at < 0 ? i_ : at) + 1).arg(what));
    }
    void skip() {
        while (i_ < s_.size() && s_[i_].isSpace())
            ++i_;
    }
    bool keyword(const char* kw) {
        skip();
        qsizetype n = qsizetype(strlen(kw));
        if (s_.mid(i_, n).compare(QLatin1String(kw), Qt::CaseInsensitive) != 0) return false;
        qsizetype e = i_ + n;
        if (e < s_.size() && (s_[e].isLetterOrNumber() || s_[e] == '_')) return false;
        i_ = e;
        return true;
    }
    // Parentheses and NOTs nest by recursion: a limit far beyond any real filter keeps the stack safe.
    static constexpr int kMaxNesting = 256;
    class Nesting {
    public:
        explicit Nesting(Parser& p, qsizetype at) : p_(p) {
            if (++p_.depth_ > kMaxNesting) p_.fail(QStringLiteral("nested too deep"), at);
        }
        ~Nesting() { --p_.depth_; }

    private:
        Parser& p_;
    };
    NodeP parseOr() {
        std::vector<NodeP> items;
        items.push_back(parseAnd());
        while (keyword("OR"))
            items.push_back(parseAnd());
        return joinBalanced(FilterProgram::Node::Or, items, 0, items.size());
    }
    NodeP parseAnd() {
        std::vector<NodeP> items;
        items.push_back(parseNot());
        while (keyword("AND"))
            items.push_back(parseNot());
        return joinBalanced(FilterProgram::Node::And, items, 0, items.size());
    }
    NodeP parseNot() {
        skip();
        const qsizetype at = i_;
        if (keyword("NOT")) {
            Nesting nest(*this, at);
            auto n = std::make_unique<FilterProgram::Node>();
            n->kind = FilterProgram::Node::Not;
            n->a = parseNot();
            return n;
        }
        return parsePrim();
    }
    QString fieldName() {
        skip();
        if (i_ >= s_.size()) fail(QStringLiteral("field name expected"));
        QString name;
        if (s_[i_] == '[') {
            qsizetype start = i_++;
            for (;;) {
                if (i_ >= s_.size()) fail(QStringLiteral("missing ']'"), start);
                if (s_[i_] == ']') {
                    if (i_ + 1 < s_.size() && s_[i_ + 1] == ']') {
                        name += ']';
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                name += s_[i_++];
            }
            return name;
        }
        static const QString stops = QStringLiteral("()<>='[");
        while (i_ < s_.size() && !s_[i_].isSpace() && !stops.contains(s_[i_]))
            name += s_[i_++];
        if (name.isEmpty()) fail(QStringLiteral("field name expected"));
        return name;
    }
    NodeP parsePrim() {
        skip();
        if (i_ < s_.size() && s_[i_] == '(') {
            qsizetype open = i_++;
            Nesting nest(*this, open);
            NodeP n = parseOr();
            skip();
            if (i_ >= s_.size() || s_[i_] != ')') fail(QStringLiteral("missing ')'"), open);
            ++i_;
            return n;
        }
        qsizetype at = i_;
        QString name = fieldName();
        const TField* f = ds_.FindField(name);
        if (!f) fail(QStringLiteral("field '%1' not found").arg(name), at);
        auto n = std::make_unique<FilterProgram::Node>();
        n->ds = &ds_;
        n->field = f;
        n->col = f->column() >= 0 ? &ds_.store().column(size_t(f->column())) : nullptr;
        n->ci = ci_;
        if (keyword("IS")) {
            n->kind = FilterProgram::Node::IsNull;
            n->negate = keyword("NOT");
            if (!keyword("NULL")) fail(QStringLiteral("NULL expected"));
            return n;
        }
        n->kind = FilterProgram::Node::Compare;
        parseOp(*n);
        parseValue(*n);
        return n;
    }
    void parseOp(FilterProgram::Node& n) {
        skip();
        auto two = [&](const char* t) { return s_.mid(i_, 2) == QLatin1String(t); };
        if (two("<>"))
            n.op = Op::Ne, i_ += 2;
        else if (two("<="))
            n.op = Op::Le, i_ += 2;
        else if (two(">="))
            n.op = Op::Ge, i_ += 2;
        else if (i_ < s_.size() && s_[i_] == '=')
            n.op = Op::Eq, ++i_;
        else if (i_ < s_.size() && s_[i_] == '<')
            n.op = Op::Lt, ++i_;
        else if (i_ < s_.size() && s_[i_] == '>')
            n.op = Op::Gt, ++i_;
        else if (keyword("LIKE"))
            n.op = Op::Like;
        else
            fail(QStringLiteral("operator expected"));
    }

    // Reads the literal and converts it to the field's type once.
    void parseValue(FilterProgram::Node& n) {
        skip();
        qsizetype at = i_;
        if (i_ >= s_.size()) fail(QStringLiteral("value expected"));
        QString text;
        enum { Str, Num, Date, Null, Bool } kind;
        bool boolValue = false;
        QChar c = s_[i_];
        if (c == '\'') {
            ++i_;
            for (;;) {
                if (i_ >= s_.size()) fail(QStringLiteral("missing closing apostrophe"), at);
                if (s_[i_] == '\'') {
                    if (i_ + 1 < s_.size() && s_[i_ + 1] == '\'') {
                        text += '\'';
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                text += s_[i_++];
            }
            kind = Str;
        } else if (c == '#') {
            qsizetype end = s_.indexOf('#', i_ + 1);
            if (end < 0) fail(QStringLiteral("missing closing '#'"), at);
            text = s_.mid(i_ + 1, end - i_ - 1);
            i_ = end + 1;
            kind = Date;
        } else if (c.isDigit() || c == '-' || c == '+' || c == '.') {
            qsizetype start = i_;
            ++i_;
            while (i_ < s_.size() &&
                   (s_[i_].isDigit() || s_[i_] == '.' || s_[i_] == 'e' || s_[i_] == 'E' ||
                    ((s_[i_] == '-' || s_[i_] == '+') && (s_[i_ - 1] == 'e' || s_[i_ - 1] == 'E'))))
                ++i_;
            text = s_.mid(start, i_ - start);
            kind = Num;
        } else if (keyword("NULL")) {
            kind = Null;
        } else {
            const auto& words = VemoCompConfig().kDBFilterCfg.BooleanString;
            qsizetype start = i_;
            while (i_ < s_.size() && (s_[i_].isLetterOrNumber() || s_[i_] == '_'))
                ++i_;
            QString w = s_.mid(start, i_ - start);
            if (w.compare(words[1], Qt::CaseInsensitive) == 0 ||
                w.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
                kind = Bool, boolValue = true;
            else if (w.compare(words[0], Qt::CaseInsensitive) == 0 ||
                     w.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
                kind = Bool, boolValue = false;
            else
                fail(QStringLiteral("value expected"), at);
            text = boolValue ? QStringLiteral("1") : QStringLiteral("0");
        }
        if (kind == Null) {
            n.litNull = true;
            if (n.op != Op::Eq && n.op != Op::Ne) {
                // Any comparison other than = and <> with NULL is false.
                n.kind = FilterProgram::Node::Const;
                n.constValue = false;
            } else {
                // = NULL and <> NULL are the tests for NULL.
                n.kind = FilterProgram::Node::IsNull;
                n.negate = n.op == Op::Ne;
            }
            return;
        }
        const TField* f = n.field;
        StorageKind sk = n.col ? n.col->kind() : StorageKind::Text;
        n.kind2 = sk;
        if (n.op == Op::Like || sk == StorageKind::Text || sk == StorageKind::Bytes) {
            n.kind2 = n.op == Op::Like && sk != StorageKind::Text && sk != StorageKind::Bytes
                          ? sk
                          : StorageKind::Text;
            if (n.op == Op::Like) {
                n.like.build(text);
                n.likeFolded.build(text.toCaseFolded());
            }
            n.litQ = n.ci ? text.toCaseFolded() : text;
            n.litText = text.toUtf8().toStdString();
            return;
        }
        auto bad = [&] {
            fail(QStringLiteral("'%1' is not a valid value for field '%2'").arg(text, f->FieldName), at);
        };
        switch (sk) {
        case StorageKind::Int:
        case StorageKind::Float: {
            bool ok;
            double d = text.toDouble(&ok);
            if (!ok) bad();
            n.litFloat = d;
            qlonglong i = text.toLongLong(&ok);
            n.litIsInt = ok && sk == StorageKind::Int;
            n.litInt = i;
            break;
        }
        case StorageKind::Bool: {
            QVariant out;
            if (!ConvertForStorage(text, f->DataType, out)) bad();
            n.litInt = out.toBool() ? 1 : 0;
            n.litIsInt = true;
            break;
        }
        case StorageKind::DateTime: {
            int64_t ms;
            if (!parseDate(text, f->DataType, ms)) bad();
            n.litInt = ms;
            n.litIsInt = true;
            break;
        }
        default:
            break;
        }
    }

    static bool parseDate(const QString& text, TFieldType type, int64_t& ms) {
        QByteArray u = text.trimmed().toUtf8();
        if (dtconv::Parse(std::string_view(u.constData(), size_t(u.size())), type, ms)) return true;
        if (type == ftTime) {
            // Times as conditions write them: the hour may have one digit ("9:15:00").
            for (const char* tf : {"H:m:s.z", "H:m:s", "H:m"}) {
                const QTime tm = QTime::fromString(text.trimmed(), QLatin1String(tf));
                if (!tm.isValid()) continue;
                ms = dtconv::FromTime(tm);
                return true;
            }
            return false;
        }
        // Dates written in the format conditions use, the system's own short format, or a common one.
        QStringList dateFormats{FilterDateFormat(), QLocale::system().dateFormat(QLocale::ShortFormat),
                                QStringLiteral("d.M.yyyy"), QStringLiteral("M/d/yyyy")};
        QString t = text.trimmed();
        for (const QString& df : dateFormats) {
            // A format may hold blanks itself ("d MMM yyyy"): the time starts after as many words.
            const int words = int(df.trimmed().count(' '));
            const QString datePart = t.section(' ', 0, words), timePart = t.section(' ', words + 1);
            QDate d = QDate::fromString(datePart, df);
            if (!d.isValid()) continue;
            ms = dtconv::FromDate(d);
            if (!timePart.isEmpty()) {
                QTime tm = QTime::fromString(timePart, QStringLiteral("H:m:s.z"));
                if (!tm.isValid()) tm = QTime::fromString(timePart, QStringLiteral("H:m:s"));
                if (!tm.isValid()) tm = QTime::fromString(timePart, QStringLiteral("H:m"));
                if (!tm.isValid()) return false;
                ms += dtconv::FromTime(tm);
            }
            return true;
        }
        return false;
    }

    const QString& s_;
    const TDataSet& ds_;
    bool ci_;
    qsizetype i_ = 0;
    int depth_ = 0;
};
} // namespace

QString FilterDateFormat() {
    const QString& configured = VemoCompConfig().kDBFilterCfg.DateFormat;
    if (!configured.isEmpty()) return configured;
    // A two-digit year would read back in the wrong century.
    QString f = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy"))) f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

FilterProgram::~FilterProgram() = default;

std::unique_ptr<FilterProgram> FilterProgram::compile(const QString& text, const TDataSet& ds,
                                                      bool caseInsensitive) {
    std::unique_ptr<FilterProgram> p(new FilterProgram);
    p->root_ = Parser(text, ds, caseInsensitive).parse();
    optimize(p->root_);
    return p;
}

bool FilterProgram::matches(uint32_t rowId) const {
    return root_->eval(rowId);
}
