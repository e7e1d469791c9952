#include "report_engine.h"

#include "dataset.h"
#include "tag_scanner.h"
#include "xml_element.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
// Output beyond this many characters stops the run instead of exhausting memory.
constexpr qsizetype kMaxOutput = qsizetype(1) << 27;
// Repetitions of a region without dataset, which only its while condition ends.
constexpr qint64 kMaxRepetitionsWithoutDataset = 100000;
constexpr int kMaxInsertDepth = 16;
// Repetitions of all regions of a run together (nested regions multiply).
constexpr qint64 kMaxRunSteps = 10000000;

QString NameOf(QStringView tag) {
    TTagCall call;
    if (!SplitCall(tag, call)) return QString();
    return call.name.toLower();
}
} // namespace

struct TReportEngine::TableRows {
    enum Which { Header, Body, Footer };
    QStringView head, tail;
    std::vector<QStringView> rows;
};

TReportEngine::TReportEngine(const TReportMarkup& markup) : markup_(markup) {
    AllowLargePictures();
}
TReportEngine::~TReportEngine() = default;

void TReportEngine::setDataSets(const std::vector<TDataSet*>& dataSets) {
    if (dataSets.size() > slots_.size()) throw TReportException(QStringLiteral("Too many datasets."));
    slots_ = {};
    FailedPictures = 0;
    for (size_t i = 0; i < dataSets.size(); ++i)
        slots_[i].ds = dataSets[i];
}

QString TReportEngine::process(const QString& templateText) {
    Aborted = false;
    RecNbr = 1;
    RecNbrDS0 = -1;
    RecCountDS0 = slotOpen(0) ? slots_[0].ds->RecordCount() : -1;
    ExtendedInfo.clear();
    PrinterName.clear();
    depth_ = 0;
    steps_ = 0;
    auto endRun = [this] {
        calc_.clear();
        for (Slot& s : slots_)
            s.bookmark = -1;
    };
    QString out;
    try {
        QString text = templateText;
        readInfoTags(text);
        if (OnReadInfo) OnReadInfo();
        applyInfo();
        insertFiles(text, u"insertfile", true);
        insertFiles(text, markup_.rawInsertKeyword, false);
        resolveIfBlocks(text);
        prepareGeneration(text);
        out.reserve(text.size());
        generate(text, out);
    } catch (...) {
        endRun();
        throw;
    }
    endRun();
    return out;
}

// --- info tags

void TReportEngine::readInfoTags(QString& text) {
    QString out;
    qsizetype pos = 0;
    while (true) {
        TTagSpan t = FindTag(text, markup_.open, markup_.close, pos, u"info(");
        if (!t.found()) break;
        TTagCall call;
        QString inner = markup_.decodeTag(t.inner);
        if (!SplitCall(inner, call)) ThrowTemplateError(report_errors::Bracket(markup_.errorText(t.inner)));
        out += QStringView(text).mid(pos, t.start - pos);
        ExtendedInfo.append(call.args);
        pos = t.end;
    }
    if (pos == 0) return;
    out += QStringView(text).mid(pos);
    text = std::move(out);
}

void TReportEngine::applyInfo() {
    for (const QString& line : ExtendedInfo) {
        qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        QString key = line.left(eq).trimmed().toLower();
        QString value = line.mid(eq + 1);
        if (key == u"setprintername")
            PrinterName = value;
        else if (key == u"defaultcalcformat")
            DefaultCalcFormat = value;
        else if (key == u"defaultnumericformat")
            DefaultNumericFormat = value;
        else if (key == u"defaultbooleanformat")
            DefaultBooleanFormat = value;
        else if (key == u"defaultdateformat")
            DefaultDateFormat = value;
        else if (key == u"defaulttimeformat")
            DefaultTimeFormat = value;
        else if (key == u"convertscientificformat")
            ConvertScientificFormat = value == u"1";
        else if (key == u"fieldnotfoundvalue")
            FieldNotFoundValue = value;
    }
}

// --- insertion tags

void TReportEngine::insertFiles(QString& text, QStringView keyword, bool generated) {
    // Inserted text may hold insertion tags of its kind; they are expanded too, up to a depth limit.
    std::function<void(QStringView, QString&, int)> expand = [&](QStringView src, QString& out, int depth) {
        qsizetype pos = 0;
        while (true) {
            TTagSpan t = FindTag(src, markup_.open, markup_.close, pos, keyword);
            if (!t.found()) break;
            TTagCall call;
            QString inner = markup_.decodeTag(t.inner);
            if (!SplitCall(inner, call))
                ThrowTemplateError(report_errors::Bracket(markup_.errorText(t.inner)));
            if (call.name.compare(keyword, Qt::CaseInsensitive) != 0) {
                out += src.mid(pos, t.start + 1 - pos);
                pos = t.start + 1;
                continue;
            }
            if (depth >= kMaxInsertDepth)
                ThrowTemplateError(report_errors::TooDeep(markup_.errorText(t.inner)));
            out += src.mid(pos, t.start - pos);
            QString path = call.args.trimmed();
            QString local = path;
            local.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (QFileInfo(local).isRelative() && !TemplateFolder.isEmpty())
                local = QDir(TemplateFolder).filePath(local);
            QFile f(local);
            QString content;
            if (!QFileInfo(local).isFile() || !f.open(QIODevice::ReadOnly)) {
                content = QStringLiteral("File \"%1\" not found.").arg(path);
                if (generated) {
                    QString esc;
                    markup_.appendText(esc, content);
                    content = esc;
                }
                out += content;
            } else {
                QString raw = QString::fromUtf8(f.readAll());
                raw.replace(QLatin1String("\r\n"), QLatin1String("\n"));
                if (raw.endsWith(QLatin1Char('\n'))) raw.chop(1);
                for (QStringView line : QStringView(raw).split(QLatin1Char('\n')))
                    content += line, content += QLatin1String("\r\n");
                if (generated) {
                    QString esc, gen;
                    markup_.appendText(esc, content);
                    generate(esc, gen);
                    content = std::move(gen);
                }
                if (out.size() + content.size() > kMaxOutput)
                    ThrowTemplateError(report_errors::TooLarge(markup_.errorText(t.inner)));
                expand(content, out, depth + 1);
            }
            pos = t.end;
        }
        out += src.mid(pos);
    };
    if (FindCI(text, markup_.open + keyword.toString()) < 0) return;
    QString out;
    expand(text, out, 0);
    text = std::move(out);
}

// --- conditional blocks

TTagSpan TReportEngine::findIif(QStringView text, qsizetype from, bool plainText) const {
    const QString& open = plainText ? markup_.textOpen : markup_.open;
    const QString& close = plainText ? markup_.textClose : markup_.close;
    TTagSpan iif;
    for (qsizetype p = from;; p = iif.start + 1) {
        iif = FindTag(text, open, close, p, u"iif");
        if (!iif.found() || NameOf(markup_.decodeTag(iif.inner)) == u"iif") return iif;
    }
}

bool TReportEngine::decideBlock(QStringView text, qsizetype from, bool inPlace, qsizetype& start,
                                qsizetype& end, QString& branch, bool plainText) {
    const QString& open = plainText ? markup_.textOpen : markup_.open;
    const QString& close = plainText ? markup_.textClose : markup_.close;
    const QStringView kw = inPlace ? u"iif" : u"if";
    const QStringView elseKw = inPlace ? u"elseiif" : u"elseif";
    const QStringView endKw = inPlace ? u"endiif" : u"endif";
    TTagSpan s;
    for (qsizetype p = from;; p = s.start + 1) {
        s = FindTag(text, open, close, p, kw);
        if (!s.found()) return false;
        if (NameOf(markup_.decodeTag(s.inner)) == kw) break;
    }
    TTagCall call;
    QString inner = markup_.decodeTag(s.inner);
    if (!SplitCall(inner, call)) ThrowTemplateError(report_errors::Bracket(markup_.errorText(s.inner)));
    int depth = 0;
    TTagSpan elseTag, endTag;
    for (qsizetype p = s.end;;) {
        TTagSpan t = FindTag(text, open, close, p);
        if (!t.found()) break;
        QString name = NameOf(markup_.decodeTag(t.inner));
        if (name == kw) {
            ++depth;
        } else if (name == elseKw && depth == 0 && !elseTag.found()) {
            elseTag = t;
        } else if (name == endKw) {
            if (depth == 0) {
                endTag = t;
                break;
            }
            --depth;
        }
        // Delimiters that look alike ("\\" both sides) make a closing delimiter the next opening one.
        p = (name == kw || name == elseKw || name == endKw) ? t.end : t.start + open.size();
    }
    if (!endTag.found())
        ThrowTemplateError(report_errors::NotFound(markup_.errorText(
            text.mid(s.start, 100).toString() + QStringLiteral("-") + open + endKw.toString() + close)));
    currentTag_ = inner;
    bool yes = evaluateCondition(call.args);
    if (yes)
        branch = text.mid(s.end, (elseTag.found() ? elseTag.start : endTag.start) - s.end).toString();
    else
        branch = elseTag.found() ? text.mid(elseTag.end, endTag.start - elseTag.end).toString() : QString();
    bool extract = ExtractEOLAfterIf;
    if (!extract)
        for (const QString& line : Variables)
            if (line.startsWith(QLatin1String("IF_ExtractLine="), Qt::CaseInsensitive))
                extract = line.mid(15) == u"1";
    if (extract) branch.remove(0, markup_.lineEndAt(branch));
    start = s.start;
    end = endTag.end;
    return true;
}

void TReportEngine::resolveIfBlocks(QString& text) {
    std::function<void(QStringView, QString&)> resolve = [&](QStringView src, QString& out) {
        DepthGuard g(*this, src);
        qsizetype pos = 0, start, end;
        QString branch;
        while (decideBlock(src, pos, false, start, end, branch)) {
            out += src.mid(pos, start - pos);
            resolve(branch, out);
            pos = end;
        }
        out += src.mid(pos);
    };
    QString out;
    resolve(text, out);
    text = std::move(out);
}

// --- generation

void TReportEngine::checkProgress() {
    if (OnReportProcess) {
        bool abort = false;
        OnReportProcess(RecNbr, abort);
        if (abort) Aborted = true;
    }
    if (Aborted) throw TReportException(QStringLiteral("Action aborted."));
}

void TReportEngine::checkSize(const QString& out, QStringView tag) const {
    if (out.size() > kMaxOutput) ThrowTemplateError(report_errors::TooLarge(markup_.errorText(tag)));
}

qsizetype TReportEngine::skipLineEnd(QStringView text, qsizetype pos) const {
    qsizetype p = pos;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t'))
        ++p;
    const qsizetype n = markup_.lineEndAt(text.mid(p));
    return n > 0 ? p + n : pos;
}

void TReportEngine::generate(QStringView text, QString& out) {
    DepthGuard g(*this, text);
    qsizetype pos = 0;
    while (pos < text.size()) {
        checkProgress();
        TTagSpan scan;
        for (qsizetype p = pos;; p = scan.start + 1) {
            scan = FindTag(text, markup_.open, markup_.close, p, u"scan");
            if (!scan.found() || NameOf(markup_.decodeTag(scan.inner)) == u"scan") break;
        }
        const TTagSpan iif = findIif(text, pos);
        if (!iif.found() || (scan.found() && scan.start < iif.start)) {
            qsizetype stop = scan.found() ? scan.start : text.size();
            resolveTextPiece(text.mid(pos, stop - pos), out);
            if (!scan.found()) break;
            pos = scan.start;
            generateRegion(text, pos, out);
        } else {
            resolveTextPiece(text.mid(pos, iif.start - pos), out);
            qsizetype start, end;
            QString branch;
            decideBlock(text, iif.start, true, start, end, branch);
            generate(branch, out);
            pos = end;
        }
        checkSize(out, text.left(100));
    }
}

void TReportEngine::resolveTextPiece(QStringView text, QString& out) {
    DepthGuard g(*this, text);
    const qsizetype openLen = markup_.open.size();
    qsizetype pos = 0;
    while (pos < text.size()) {
        // In-place blocks of a piece are decided before the tags around them are read.
        const TTagSpan iif = findIif(text, pos);
        const QStringView part = text.left(iif.found() ? iif.start : text.size());
        while (pos < part.size()) {
            TTagSpan t = FindTag(part, markup_.open, markup_.close, pos);
            if (!t.found()) {
                out += part.mid(pos);
                pos = part.size();
                break;
            }
            out += part.mid(pos, t.start - pos);
            QStringView inner = t.inner;
            bool passOver = markup_.passOverSpecialTags &&
                            (inner.size() > 250 || inner.startsWith(QLatin1Char('#')) ||
                             inner.startsWith(QLatin1Char('*')) || inner.startsWith(QLatin1Char('@')));
            TReportValue value;
            if (passOver || inner.trimmed().size() <= 1 || !evaluateTag(markup_.decodeTag(inner), value)) {
                out += markup_.open;
                pos = t.start + openLen;
                continue;
            }
            markup_.appendValue(out, value);
            checkSize(out, inner);
            pos = t.end;
        }
        if (!iif.found()) break;
        qsizetype start, end;
        QString branch;
        decideBlock(text, iif.start, true, start, end, branch);
        resolveTextPiece(branch, out);
        pos = end;
    }
}

void TReportEngine::generateRegion(QStringView text, qsizetype& pos, QString& out) {
    TTagSpan t = FindTag(text, markup_.open, markup_.close, pos);
    QString inner = markup_.decodeTag(t.inner);
    const QString errTag = markup_.errorText(t.inner);
    TTagCall call;
    if (!SplitCall(inner, call)) ThrowTemplateError(report_errors::Bracket(errTag));
    const TScanInfo si = scanInfoOf(call, errTag);

    qsizetype bodyStart = skipLineEnd(text, t.end);
    const QString endTag =
        markup_.open + QStringLiteral("endscan(") + si.DS + QStringLiteral(")") + markup_.close;
    qsizetype e = FindCI(text, endTag, bodyStart);
    if (e < 0) ThrowTemplateError(report_errors::NotFound(markup_.errorText(endTag)));
    QStringView body = text.mid(bodyStart, e - bodyStart);
    pos = skipLineEnd(text, e + endTag.size());

    const int slot = si.DSindex;
    if (slot >= 0 && !si.NoFirst) navigate(u"first", slot);
    if (si.NoIfEmpty && !(slot < 0 || slotHasCurrent(slot))) return;

    QStringView header, footer;
    const QString entryTag =
        markup_.open + QStringLiteral("scanentry(") + si.DS + QStringLiteral(")") + markup_.close;
    const QString footerTag =
        markup_.open + QStringLiteral("scanfooter(") + si.DS + QStringLiteral(")") + markup_.close;
    qsizetype entry = FindCI(body, entryTag);
    if (entry >= 0) {
        header = body.left(entry);
        body = body.mid(skipLineEnd(body, entry + entryTag.size()));
    }
    qsizetype foot = FindCI(body, footerTag);
    if (foot >= 0) {
        footer = body.mid(skipLineEnd(body, foot + footerTag.size()));
        body = body.left(foot);
    }
    if (slot >= 0 && !si.Calc.isEmpty()) declareCalc(slot, si.Calc);
    generate(header, out);
    TableRows rows;
    if (si.TblScan) {
        splitTableRows(body, rows);
        generate(rows.head, out);
        writeTableRows(si, rows, TableRows::Header, out);
    }
    repeatRegion(si, body, rows, inner, t.inner, errTag, out);
    if (si.TblScan) {
        writeTableRows(si, rows, TableRows::Footer, out);
        generate(rows.tail, out);
    }
    generate(footer, out);
}

TScanInfo TReportEngine::scanInfoOf(const TTagCall& call, const QString& errTag) const {
    TScanInfo si;
    QString letter = call.args.trimmed().toUpper();
    if (letter.size() == 1 && letter[0] >= 'A' && letter[0] <= 'Z') {
        si.DS = letter;
        si.DSindex = letter[0].unicode() - 'A';
    } else if (!letter.isEmpty()) {
        ThrowTemplateError(report_errors::IncorrectDataset(errTag));
    }
    std::vector<TTagOption> options;
    if (!ParseOptions(call.rest, options)) ThrowTemplateError(report_errors::IncorrectTag(errTag));
    bool rowsOption = false;
    for (const TTagOption& o : options) {
        bool ok = true;
        if (o.name == u"while" && o.hasArg)
            si.WhileCond = o.arg;
        else if (o.name == u"skipif" && o.hasArg)
            si.SkipCond = o.arg;
        else if (o.name == u"sep" && o.hasArg)
            si.Sep = o.arg;
        else if (o.name == u"newline" && !o.hasArg)
            si.NewLine = true;
        else if (o.name == u"newpar" && !o.hasArg)
            si.NewPar = true;
        else if (o.name == u"newcol" && !o.hasArg)
            si.NewCol = true;
        else if (o.name == u"newpage" && !o.hasArg)
            si.NewPage = true;
        else if (o.name == u"noifempty" && !o.hasArg)
            si.NoIfEmpty = true;
        else if (o.name == u"nofirst" && !o.hasArg)
            si.NoFirst = true;
        else if (o.name == u"calc" && o.hasArg)
            si.Calc = o.arg;
        else if (o.name == u"minrows" && o.hasArg)
            si.MinRows = std::max(0, o.arg.trimmed().toInt());
        else if (o.name == u"maxrows" && o.hasArg)
            si.MaxRows = std::max(0, o.arg.trimmed().toInt()), rowsOption = rowsOption || si.MaxRows > 0;
        else if (!markup_.rowElement.isEmpty() && o.hasArg && o.name.startsWith(u"tblrow")) {
            // tblrowN(cond): the condition of the N-th row of the table in the body.
            bool numOk = false;
            const int n = o.name.mid(6).toInt(&numOk);
            ok = numOk && n >= 1 && n <= 1000 && !o.name.mid(6).startsWith(QLatin1Char('+'));
            if (ok) {
                si.TblScan = true;
                while (si.TblRowCond.size() < n)
                    si.TblRowCond.append(QString());
                si.TblRowCond[n - 1] = o.arg.trimmed();
            }
        } else
            ok = false;

        if (!ok) ThrowTemplateError(report_errors::IncorrectTag(errTag));
    }
    // A region without dataset that nothing ends would never stop.
    if (si.DSindex < 0 && si.WhileCond.isEmpty() && !rowsOption)
        ThrowTemplateError(
            QStringLiteral(
                "Incorrect tag \"%1\": a region without dataset needs while(condition) or maxrows(n) "
                "to end.")
                .arg(errTag));
    return si;
}

void TReportEngine::repeatRegion(const TScanInfo& si, QStringView body, const TableRows& rows,
                                 const QString& inner, QStringView tag, const QString& errTag, QString& out) {
    const int slot = si.DSindex;
    auto hasCurrent = [&] { return slot < 0 || slotHasCurrent(slot); };
    QString breakCode = si.NewPage   ? markup_.newPage
                        : si.NewCol  ? markup_.newCol
                        : si.NewPar  ? markup_.newPar
                        : si.NewLine ? markup_.newLine
                                     : QString();
    const QString sepNext = si.Sep + breakCode;
    auto writeBody = [&](QString& pending) {
        if (si.TblScan) {
            writeTableRows(si, rows, TableRows::Body, out);
        } else {
            out += pending;
            generate(body, out);
            pending = sepNext;
        }
        checkSize(out, tag);
    };
    int i = 0;
    QString pending;
    qint64 steps = 0;
    // A body that moves its own dataset back could otherwise repeat for ever.
    const qint64 maxSteps = slot < 0
                                ? kMaxRepetitionsWithoutDataset
                                : 4 * qint64(slotOpen(slot) ? slots_[size_t(slot)].ds->RecordCount() : 0) +
                                      kMaxRepetitionsWithoutDataset;
    while (true) {
        if (++steps > maxSteps || ++steps_ > kMaxRunSteps)
            ThrowTemplateError(report_errors::TooLarge(errTag));
        checkProgress();
        if (!hasCurrent()) break;
        currentTag_ = inner;
        if (!si.WhileCond.isEmpty() && !evaluateCondition(si.WhileCond)) break;
        if (si.SkipCond.isEmpty() || !evaluateCondition(si.SkipCond)) {
            if (si.MaxRows > 0 && i >= si.MaxRows) break;
            if (slot >= 0) updateCalc(slot);
            writeBody(pending);
            ++i;
        }
        if (slot >= 0) {
            navigate(u"next", slot);
            if (slots_[size_t(slot)].eof) break;
        }
    }
    if (i < si.MinRows) {
        // Padding repetitions have empty values, also when maxrows stopped before the last record.
        const bool wasEof = slot >= 0 && slots_[size_t(slot)].eof;
        if (slot >= 0) slots_[size_t(slot)].eof = true;
        while (i < si.MinRows) {
            if (++steps_ > kMaxRunSteps) ThrowTemplateError(report_errors::TooLarge(errTag));
            checkProgress();
            writeBody(pending);
            ++i;
        }
        if (slot >= 0) slots_[size_t(slot)].eof = wasEof;
    }
}

// --- table-row regions

void TReportEngine::splitTableRows(QStringView body, TableRows& t) const {
    auto invalid = [] { ThrowTemplateError(QStringLiteral("Invalid table structure.")); };
    const QString tableEnd = QStringLiteral("</") + markup_.tableElement + QLatin1Char('>');
    if (FindElementStart(body, markup_.tableElement) < 0) invalid();
    qsizetype p = FindElementStart(body, markup_.rowElement);
    if (p < 0) invalid();
    t.head = body.left(p);
    while (true) {
        const qsizetype end = FindElementEnd(body, markup_.rowElement, p);
        if (end < 0) invalid();
        t.rows.push_back(body.mid(p, end - p));
        p = end;
        const qsizetype next = FindElementStart(body, markup_.rowElement, p);
        const qsizetype tableClose = body.indexOf(tableEnd, p);
        if (next < 0 || (tableClose >= 0 && tableClose < next)) break;
        p = next;
    }
    t.tail = body.mid(p);
}

void TReportEngine::writeTableRows(const TScanInfo& si, const TableRows& t, int which, QString& out) {
    for (size_t r = 0; r < t.rows.size(); ++r) {
        const QString cond = r < size_t(si.TblRowCond.size()) ? si.TblRowCond[qsizetype(r)] : QString();
        const QString c = cond.toLower();
        const bool header = c == u"h" || c == u"header", footer = c == u"f" || c == u"footer";
        bool write;
        if (which == TableRows::Header)
            write = header;
        else if (which == TableRows::Footer)
            write = footer;
        else if (header || footer || c == u"0" || c == u"hide")
            write = false;
        else
            write = c.isEmpty() || c == u"1" || evaluateCondition(cond);
        if (write) generate(t.rows[r], out);
    }
}

// --- navigation

bool TReportEngine::slotOpen(int i) const {
    return i >= 0 && i < 26 && slots_[size_t(i)].ds && slots_[size_t(i)].ds->Active();
}

bool TReportEngine::slotHasCurrent(int i) const {
    return slotOpen(i) && !slots_[size_t(i)].eof && !slots_[size_t(i)].ds->IsEmpty();
}

int TReportEngine::slotIndex(QStringView arg, QStringView tagForError) const {
    QString a = arg.trimmed().toString().toUpper();
    if (a.size() != 1 || a[0] < 'A' || a[0] > 'Z')
        ThrowTemplateError(report_errors::IncorrectDataset(markup_.errorText(tagForError)));
    return a[0].unicode() - 'A';
}

void TReportEngine::navigate(QStringView kind, int slot) {
    Slot& s = slots_[size_t(slot)];
    bool isMove = kind == u"first" || kind == u"last" || kind == u"next" || kind == u"prev";
    if (!slotOpen(slot)) {
        if (isMove) s.eof = true;
        return;
    }
    TDataSet& ds = *s.ds;
    if (kind == u"first") {
        ds.First();
        s.eof = ds.IsEmpty();
    } else if (kind == u"last") {
        ds.Last();
        s.eof = ds.IsEmpty();
    } else if (kind == u"next") {
        ds.Next();
        s.eof = ds.Eof();
    } else if (kind == u"prev") {
        ds.Prior();
        s.eof = ds.Bof();
    } else if (kind == u"getbookmark") {
        s.bookmark = ds.IsEmpty() ? -1 : ds.GetBookmark();
        return;
    } else if (kind == u"gotobookmark") {
        if (s.bookmark >= 0 && ds.BookmarkValid(s.bookmark)) ds.GotoBookmark(s.bookmark);
        s.eof = ds.IsEmpty() || ds.Eof();
        return;
    }
    if (!s.eof && (kind == u"next" || kind == u"prev")) {
        ++RecNbr;
        if (slot == 0 && kind == u"next") ++RecNbrDS0;
    }
}
