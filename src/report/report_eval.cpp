// Value tags: the forms of a tag's text, field values by type, memo texts, variables, pictures.
#include "barcode_draw.h"
#include "dataset.h"
#include "report_engine.h"
#include "report_format.h"
#include "rtf_to_text.h"
#include "tag_scanner.h"

#include <QBuffer>
#include <QFont>
#include <QImageReader>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>

namespace {
bool IsNavigation(const QString& name) {
    return name == u"next" || name == u"prev" || name == u"first" || name == u"last" ||
           name == u"getbookmark" || name == u"gotobookmark";
}

// Keywords whose argument lists must balance.
bool IsFunctionForm(QStringView t) {
    return StartsCI(t, u"seplist") || StartsCI(t, u"firstvalue") || StartsCI(t, u"case(") ||
           StartsCI(t, u"numtotext") || StartsCI(t, u"str_") || t.startsWith(QLatin1Char('='));
}

bool IsFieldForm(QStringView t) {
    return t.size() >= 3 && t[0] >= 'A' && t[0] <= 'Z' && t[1] == '.';
}
} // namespace

bool TReportEngine::evaluateTag(QStringView tag, TReportValue& value) {
    QStringView t = tag.trimmed();
    if (t.isEmpty()) return false;
    if (evaluateFormatTag(t, value)) return true;
    TTagCall call;
    bool callOk = SplitCall(t, call);
    if (callOk && call.hasParens) {
        const QString name = call.name.toLower();
        if (IsNavigation(name)) {
            navigate(name, slotIndex(call.args, t));
            return true;
        }
        if (name == u"picture") {
            pictureTag(t, value);
            return true;
        }
        if (name == u"barcode") {
            barcodeTag(t, value);
            return true;
        }
        if (name == u"defvar") {
            defVar(call.args);
            return true;
        }
    }
    if (t.compare(u"resetcalc", Qt::CaseInsensitive) == 0) {
        calc_.clear();
        return true;
    }
    if (t.compare(u"listallfields", Qt::CaseInsensitive) == 0) {
        listAllFields(value);
        return true;
    }
    if (!callOk && IsFunctionForm(t)) ThrowTemplateError(report_errors::Bracket(markup_.errorText(t)));
    return evaluateValue(t, value);
}

bool TReportEngine::evaluateValue(QStringView t, TReportValue& value) {
    // expression:format at the first ":" outside parentheses and quotes.
    qsizetype p = FirstParen(t);
    qsizetype colon = -1;
    {
        int depth = 0;
        bool quoted = false;
        for (qsizetype i = 0; i < t.size() && colon < 0; ++i) {
            QChar c = t[i];
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && c == '(')
                ++depth;
            else if (!quoted && c == ')')
                --depth;
            else if (!quoted && depth == 0 && c == ':')
                colon = i;
        }
    }
    QStringView expr = colon >= 0 ? t.left(colon).trimmed() : t;
    QStringView format = colon >= 0 ? t.mid(colon + 1) : QStringView();
    QStringView align;
    if (format.startsWith(QLatin1Char('<')) || format.startsWith(QLatin1Char('>'))) {
        qsizetype c2 = format.indexOf(QLatin1Char(':'));
        align = c2 >= 0 ? format.left(c2) : format;
        format = c2 >= 0 ? format.mid(c2 + 1) : QStringView();
    }
    const QString savedTag = currentTag_;
    currentTag_ = t.toString();
    TReportValue v;
    bool recognised = true;
    if (StartsCI(expr, u"seplist"))
        sepList(t.mid(p + 1, MatchParen(t, p) - p - 1), v);
    else if (StartsCI(expr, u"firstvalue"))
        v.addText(firstValue(t.mid(p + 1, MatchParen(t, p) - p - 1)));
    else if (StartsCI(expr, u"case("))
        caseFunction(t.mid(p + 1, MatchParen(t, p) - p - 1), v);
    else if (StartsCI(expr, u"numtotext"))
        v.addText(numToText(expr, format));
    else if (StartsCI(expr, u"str_"))
        v.addText(stringFunction(t, expr));
    else if (expr.startsWith(QLatin1Char('='))) {
        double r;
        try {
            r = evaluateExpression(expr.mid(1));
        } catch (const TReportException&) {
            throw;
        } catch (const std::exception&) {
            ThrowTemplateError(report_errors::CalcFunction(markup_.errorText(t)));
        }
        QString pic = format.isEmpty() ? DefaultCalcFormat : format.toString();
        if (pic.size() >= 2 && pic.startsWith(QLatin1Char('#')) && pic.endsWith(QLatin1Char('#')))
            v.addText(FormatDatePicture(DaysToDateTime(r), QStringView(pic).mid(1, pic.size() - 2)));
        else
            formatNumber(r, pic, v);
    } else if (IsFieldForm(expr))
        fieldValue(expr[0].unicode() - 'A', expr.mid(2), format, v);
    else
        recognised = lookupName(expr, v);
    currentTag_ = savedTag;
    if (!recognised) return false;
    if (!align.isEmpty())
        value.addText(AlignText(v.plain(), align));
    else
        value.append(v);
    return true;
}

void TReportEngine::formatNumber(double v, const QString& picture, TReportValue& value) {
    QString s = FormatNumberPicture(v, picture);
    QString mantissa, exponent;
    if (ConvertScientificFormat && SplitScientific(s, mantissa, exponent)) {
        value.addText(mantissa + QStringLiteral(" x 10"));
        markup_.addRaised(value, exponent);
    } else {
        value.addText(s);
    }
}

TField* TReportEngine::findField(int slot, QStringView name, QString& error) const {
    TDataSet* ds = slots_[size_t(slot)].ds;
    try {
        return ds->FieldByName(name.toString());
    } catch (const std::exception& e) {
        error = ExceptionMessage(e);
        return nullptr;
    }
}

QVariant TReportEngine::currentValue(int slot, TField* f) const {
    TDataSet* ds = slots_[size_t(slot)].ds;
    int pos = ds->currentPosition();
    if (pos < 0) return QVariant();
    return ds->valueAt(f, pos);
}

void TReportEngine::fieldValue(int slot, QStringView ref, QStringView format, TReportValue& value) {
    TDataSet* ds = slots_[size_t(slot)].ds;
    if (!ds) return value.addText(QStringLiteral("unknown dataset"));
    if (!ds->Active()) return value.addText(QStringLiteral("closed dataset"));
    const QChar letter(QLatin1Char(char('A' + slot)));
    auto unreadable = [&](const QString& message) {
        if (RaiseUnknownField)
            ThrowTemplateError(
                report_errors::DatabaseField(markup_.errorText(QString(letter) + '.' + ref.toString())));
        if (!FieldNotFoundValue.isEmpty())
            value.addText(FieldNotFoundValue);
        else
            value.addText(markup_.unknownFieldText(letter, ref, message));
    };
    TField* f = nullptr;
    QString error;
    bool byIndex = ref.size() > 1 && ref[0] == '#' && ref[1].isDigit();
    if (ref != u"#" && ref != u"##") {
        if (byIndex) {
            bool ok = false;
            int i = ref.mid(1).toInt(&ok);
            if (ok && i >= 0 && i < ds->FieldCount())
                f = ds->Fields(i);
            else
                error = QStringLiteral("Field index %1 out of range").arg(ref.mid(1));
        } else {
            f = findField(slot, ref, error);
        }
        if (!f) return unreadable(error);
        if (format.compare(u"label", Qt::CaseInsensitive) == 0) return value.addText(f->DisplayLabel());
    }
    if (slots_[size_t(slot)].eof || ds->IsEmpty()) return;
    if (ref == u"#") return value.addText(QString::number(ds->RecNo()));
    if (ref == u"##") return value.addText(QString::number(ds->RecordCount()));
    QVariant v = currentValue(slot, f);
    if (!v.isValid()) return;
    const QString fmt = format.toString();
    const TFieldType type = f->DataType;
    try {
        if (IsStringType(type)) {
            QString raw = v.toString();
            value.addText(fmt.isEmpty() || fmt == u"|*" ? raw : FormatMaskText(fmt, raw));
        } else if (IsNumericType(type)) {
            QString pic = !fmt.isEmpty()                ? fmt
                          : !f->DisplayFormat.isEmpty() ? f->DisplayFormat
                                                        : DefaultNumericFormat;
            bool ok = false;
            double d = v.toDouble(&ok);
            if (!ok) return unreadable(QStringLiteral("'%1' is not a valid number").arg(v.toString()));
            formatNumber(d, pic, value);
        } else if (type == ftBoolean) {
            QString pic = !fmt.isEmpty()                ? fmt
                          : !f->DisplayFormat.isEmpty() ? f->DisplayFormat
                                                        : DefaultBooleanFormat;
            qsizetype semi = pic.indexOf(QLatin1Char(';'));
            if (semi >= 0)
                value.addText(v.toBool() ? pic.left(semi) : pic.mid(semi + 1));
            else
                value.addText(f->formatValue(v));
        } else if (IsDateTimeType(type)) {
            QLocale loc;
            QString pic = !fmt.isEmpty() ? fmt : f->DisplayFormat;
            QDateTime dt;
            if (type == ftDate) {
                if (pic.isEmpty()) pic = DefaultDateFormat;
                if (pic.isEmpty()) return value.addText(loc.toString(v.toDate(), QLocale::ShortFormat));
                dt = QDateTime(v.toDate(), QTime(0, 0));
            } else if (type == ftTime) {
                if (pic.isEmpty()) pic = DefaultTimeFormat;
                if (pic.isEmpty()) return value.addText(LongTimeText(loc, v.toTime()));
                dt = QDateTime(QDate(1899, 12, 30), v.toTime());
            } else {
                if (pic.isEmpty()) pic = DefaultDateFormat;
                dt = v.toDateTime();
                if (pic.isEmpty()) pic = QStringLiteral("c");
            }
            value.addText(FormatDatePicture(dt, pic));
        } else if (IsMemoType(type)) {
            QString raw =
                v.typeId() == QMetaType::QByteArray ? QString::fromUtf8(v.toByteArray()) : v.toString();
            memoValue(raw, format, value);
        } else if (IsBinaryType(type)) {
            QByteArray bytes = v.toByteArray();
            QImage image;
            bool named =
                lookupNameText(f->FieldName, error) && error.compare(u"image", Qt::CaseInsensitive) == 0;
            if (type == ftGraphic || named || image.loadFromData(bytes)) {
                if (image.isNull()) image.loadFromData(bytes);
                TReportPiece pic;
                pic.image = image;
                pic.params = fmt;
                QBuffer buffer(&bytes);
                pic.format = QImageReader(&buffer).format();
                pic.slot = slot;
                pic.recNo = ds->RecNo();
                pic.fieldName = f->FieldName;
                value.addPicture(pic);
            } else {
                memoValue(QString::fromUtf8(bytes), format, value);
            }
        } else {
            value.addText(f->formatValue(v));
        }
    } catch (const TReportException&) {
        throw;
    } catch (const std::exception& e) {
        unreadable(ExceptionMessage(e));
    }
}

void TReportEngine::memoValue(const QString& raw, QStringView format, TReportValue& value) {
    QString text = raw;
    TMemoFormat mode = DefaultMemoFormat;
    const bool rtfHeader = text.trimmed().startsWith(QLatin1String("{\\rtf"), Qt::CaseInsensitive);
    if (format.compare(u"plain", Qt::CaseInsensitive) == 0)
        mode = mfPlain;
    else if (format.compare(u"rtf", Qt::CaseInsensitive) == 0)
        mode = mfRTF;
    else if (format.compare(u"rtfline", Qt::CaseInsensitive) == 0)
        mode = mfRTFLine;
    else if (mode == mfAutoDetect)
        // Only a whole RTF document is taken as RTF: a plain memo holding "\par " (a path, code) is text.
        mode = rtfHeader ? mfRTF : mfText;
    bool markup = false;
    if (mode == mfPlain) {
        // Text that is not RTF reads back unchanged, as from a rich-text control.
        if (rtfHeader) text = RtfToPlainText(text);
    } else if (mode == mfRTF || mode == mfRTFLine) {
        text.remove(QLatin1String("\r\n"));
        static const QRegularExpression viewKind(QStringLiteral("\\\\viewkind[0-9]"));
        text.remove(viewKind);
        markup = true;
    }
    while (text.endsWith(QChar(0)))
        text.chop(1);
    if (mode == mfRTFLine) {
        qsizetype last = text.lastIndexOf(QLatin1String("\\par "));
        if (last >= 0) text.remove(last, 5);
    }
    for (const QString& line : MemoReplaces) {
        qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        QString from = line.left(eq), to = line.mid(eq + 1);
        from.replace(QLatin1String("<TAB>"), QLatin1String("\t"), Qt::CaseInsensitive);
        to.replace(QLatin1String("<TAB>"), QLatin1String("\t"), Qt::CaseInsensitive);
        text.replace(from, to, Qt::CaseInsensitive);
    }
    if (!markup) return resolveTextTags(text, value);
    // RTF: markup of the output format (or the format's own runs), whose tags are template text.
    TReportValue converted;
    markup_.addRtfMemo(converted, text);
    for (const TReportPiece& p : converted.pieces()) {
        if (p.kind == TReportPiece::Text) {
            resolveTextTags(p.text, value);
        } else if (p.kind == TReportPiece::Markup && p.text.contains(markup_.open)) {
            QString out;
            resolveTextPiece(p.text, out);
            value.addMarkup(out);
        } else {
            value.add(p);
        }
    }
}

void TReportEngine::resolveTextTags(QStringView text, TReportValue& value) {
    DepthGuard g(*this, text);
    const QString& open = markup_.textOpen;
    const QString& close = markup_.textClose;
    qsizetype pos = 0;
    while (pos < text.size()) {
        // In-place blocks are decided before the tags around them are read, as in template text.
        const TTagSpan iif = findIif(text, pos, true);
        const QStringView part = text.left(iif.found() ? iif.start : text.size());
        while (pos < part.size()) {
            const TTagSpan t = FindTag(part, open, close, pos);
            if (!t.found()) break;
            value.addText(part.mid(pos, t.start - pos).toString());
            TReportValue v;
            const QStringView inner = t.inner;
            const bool passOver = markup_.passOverSpecialTags &&
                                  (inner.size() > 250 || inner.startsWith(QLatin1Char('#')) ||
                                   inner.startsWith(QLatin1Char('*')) || inner.startsWith(QLatin1Char('@')));
            if (passOver || inner.trimmed().size() <= 1 || !evaluateTag(inner, v)) {
                // Not a tag: its opening is text and the search goes on after it.
                value.addText(open);
                pos = t.start + open.size();
                continue;
            }
            value.append(v);
            pos = t.end;
        }
        if (pos < part.size()) value.addText(part.mid(pos).toString());
        if (!iif.found()) break;
        qsizetype start, end;
        QString branch;
        decideBlock(text, iif.start, true, start, end, branch, true);
        resolveTextTags(branch, value);
        pos = end;
    }
}

bool TReportEngine::lookupNameText(QStringView name, QString& text) {
    QStringView n = name.trimmed();
    for (const QString& line : Variables) {
        qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && QStringView(line).left(eq).trimmed().compare(n, Qt::CaseInsensitive) == 0) {
            text = line.mid(eq + 1);
            return true;
        }
    }
    if (OnUserCalcParams) {
        TTagCall call;
        if (!SplitCall(n, call)) return false;
        if (!call.rest.trimmed().isEmpty())
            ThrowTemplateError(report_errors::IncorrectTag(markup_.errorText(n)));
        QVariantList params;
        if (call.hasParens && !call.args.isEmpty())
            for (const QString& part : call.args.split(QLatin1Char(';'))) {
                QString a = part.trimmed();
                double d;
                QString err;
                if (IsQuoted(a)) {
                    params.append(Unquote(a));
                } else if (IsFieldForm(a) && slotOpen(a[0].unicode() - 'A') &&
                           slots_[size_t(a[0].unicode() - 'A')].ds->FindField(a.mid(2))) {
                    int s = a[0].unicode() - 'A';
                    params.append(currentValue(s, slots_[size_t(s)].ds->FindField(a.mid(2))));
                } else if (ReadNumberText(a, d)) {
                    params.append(d);
                } else {
                    params.append(a);
                }
            }
        QVariant result;
        bool replace = false;
        OnUserCalcParams(call.name, params, result, replace);
        if (replace) {
            text = result.toString();
            return true;
        }
        return false;
    }
    if (OnUserCalc) {
        QString calc = n.toString();
        bool replace = false;
        OnUserCalc(calc, replace);
        if (replace) {
            text = calc;
            return true;
        }
    }
    return false;
}

bool TReportEngine::lookupName(QStringView name, TReportValue& value) {
    if (OnUserCalcMarkup) {
        QString markup;
        bool replace = false;
        OnUserCalcMarkup(name.trimmed().toString(), markup, replace);
        if (replace) {
            value.addMarkup(markup);
            return true;
        }
    }
    QString text;
    if (!lookupNameText(name, text)) return false;
    // A value, escaped for the output; tags in it are resolved (self-reference ends at the depth limit).
    resolveTextTags(text, value);
    return true;
}

QString TReportEngine::resolveArg(QStringView arg) {
    TReportValue v;
    if (!evaluateTag(arg, v)) return arg.trimmed().toString();
    return v.plain();
}

void TReportEngine::pictureTag(QStringView tag, TReportValue& value) {
    TTagCall call;
    SplitCall(tag, call);
    QString name = call.args, params = call.rest.trimmed();
    if (params.startsWith(QLatin1Char(':'))) params.remove(0, 1);
    qsizetype colon = name.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        params = name.mid(colon + 1);
        name = name.left(colon);
    }
    name = name.trimmed();
    QString found;
    bool ok = lookupNameText(name, found);
    TReportPiece pic;
    pic.params = params;
    if (OnGetPictureContent) {
        QImage image;
        OnGetPictureContent(ok ? found : name, image);
        if (image.width() > 0) {
            pic.image = image;
            value.addPicture(pic);
        }
        return;
    }
    if (!ok) return;
    pic.text = found;
    value.addPicture(pic);
}

void TReportEngine::barcodeTag(QStringView tag, TReportValue& value) {
    TTagCall call;
    SplitCall(tag, call);
    QString params = call.rest.trimmed();
    if (params.startsWith(QLatin1Char(':'))) params.remove(0, 1);
    QString data;
    QString arg = call.args.trimmed();
    if (IsQuoted(arg)) {
        data = Unquote(arg);
    } else {
        TReportValue v;
        if (!evaluateTag(arg, v)) return value.addText(QLatin1Char('?') + arg + QLatin1Char('?'));
        data = v.plain();
    }
    if (data.isEmpty()) return;
    QString typeName, fontName = QStringLiteral("Verdana");
    bool showCode = false;
    int fontSize = 0;
    for (const QString& part : params.split(QLatin1Char(';'))) {
        QString p = part.trimmed();
        if (p.isEmpty()) break;
        qsizetype eq = p.indexOf(QLatin1Char('='));
        QString key = (eq >= 0 ? p.left(eq) : p).trimmed().toLower();
        QString val = eq >= 0 ? p.mid(eq + 1).trimmed() : QString();
        if (key == u"type")
            typeName = val;
        else if (key == u"showcode")
            showCode = true;
        else if (key == u"fontname")
            fontName = val;
        else if (key == u"fontsize")
            fontSize = val.toInt();
    }
    TAsBarcode b;
    try {
        if (typeName.compare(u"CodeEANAuto", Qt::CaseInsensitive) == 0) {
            EanAutoChoice c = ChooseEanAuto(data);
            b.BarCodeType = c.type;
            data = c.data;
        } else if (typeName.isEmpty()) {
            return value.addText(QStringLiteral("?undefined barcode type?"));
        } else if (TBarcodeType type; BarcodeTypeFromName(typeName, type) && type != bcTypeUndefined) {
            b.BarCodeType = type;
        } else {
            return value.addText(QLatin1Char('?') + typeName + QLatin1Char('?'));
        }
        b.BarCode = data;
        b.UseCheckSum = true;
        b.ShowText = showCode;
        b.ShowTextPosition = stpBottomCenter;
        b.ShowTextFont = QFont(fontName, fontSize > 0 ? fontSize : 8);
        b.AutoFontSize = fontSize <= 0;
        b.Left = 5;
        b.Top = 5;
        b.Height = 110;
        b.SetWidth(485);
        QImage image(500, 125, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            b.DrawBarcode(painter);
        }
        TReportPiece pic;
        pic.image = image.copy(0, 0, std::min(500, b.Width() + 15), 125);
        pic.params = params;
        value.addPicture(pic);
    } catch (const std::exception& e) {
        value.addText(ExceptionMessage(e));
    }
}
