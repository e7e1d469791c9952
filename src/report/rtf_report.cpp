#include "rtf_report.h"

#include "cursor_guard.h"
#include "dataset.h"
#include "messages.h"
#include "progress.h"
#include "safe_file.h"
#include "shell.h"
#include "tag_scanner.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTransform>
#include <cmath>
#include <optional>

namespace {
const QString kOpen = QStringLiteral("\\\\");

bool IsLetter(QChar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(QChar c) {
    return c >= '0' && c <= '9';
}

// The length of the control word at pos ("\" letters, an optional signed number and the blank that
// ends it); 0 when none starts there.
qsizetype ControlWordAt(QStringView s, qsizetype pos) {
    if (pos + 1 >= s.size() || s[pos] != '\\' || !IsLetter(s[pos + 1])) return 0;
    qsizetype i = pos + 1;
    while (i < s.size() && IsLetter(s[i]))
        ++i;
    if (i < s.size() && s[i] == '-' && i + 1 < s.size() && IsDigit(s[i + 1])) ++i;
    while (i < s.size() && IsDigit(s[i]))
        ++i;
    if (i < s.size() && s[i] == ' ') ++i;
    return i - pos;
}

// Whether "\u" with a number starts at pos: a character written as its code, kept in a tag.
bool IsUnicodeEscape(QStringView s, qsizetype pos) {
    if (pos + 2 >= s.size() || s[pos + 1] != 'u') return false;
    const QChar c = s[pos + 2];
    return IsDigit(c) || (c == '-' && pos + 3 < s.size() && IsDigit(s[pos + 3]));
}

// Whether text (before end) ends in a control word without its blank, so that a line end there is
// what ends the word.
bool EndsInControlWord(const QString& text) {
    qsizetype i = text.size();
    while (i > 0 && IsDigit(text[i - 1]))
        --i;
    if (i > 0 && text[i - 1] == '-') --i;
    const qsizetype lettersEnd = i;
    while (i > 0 && IsLetter(text[i - 1]))
        --i;
    if (i == lettersEnd || i == 0 || text[i - 1] != '\\') return false;
    qsizetype slashes = 0;
    for (qsizetype j = i - 1; j >= 0 && text[j] == '\\'; --j)
        ++slashes;
    return slashes % 2 == 1; // "\\par" is a backslash and the letters "par"
}

// Appends a stretch outside picture groups without its line ends.
void AppendWithoutLineEnds(QString& out, QStringView s) {
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c != '\r' && c != '\n') {
            out += c;
            continue;
        }
        if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
        if (EndsInControlWord(out)) out += QLatin1Char(' ');
    }
}

// Moves the control words out of every tag of text (no picture group in it).
QString CleanTags(const QString& text) {
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    while (true) {
        TTagSpan t = FindTag(text, kOpen, kOpen, pos);
        if (!t.found()) break;
        const QStringView inner = t.inner;
        if (inner.size() > 250 || inner.startsWith(QLatin1Char('#')) || inner.startsWith(QLatin1Char('*')) ||
            inner.startsWith(QLatin1Char('@'))) {
            out += QStringView(text).mid(pos, t.start + kOpen.size() - pos);
            pos = t.start + kOpen.size();
            continue;
        }
        QString codes, clean;
        for (qsizetype i = 0; i < inner.size();) {
            const qsizetype n = IsUnicodeEscape(inner, i) ? 0 : ControlWordAt(inner, i);
            if (n > 0) {
                codes += inner.mid(i, n);
                i += n;
            } else {
                clean += inner[i++];
            }
        }
        const qsizetype open = clean.count(QLatin1Char('{')), close = clean.count(QLatin1Char('}'));
        if (open + close == 1) {
            const qsizetype b = clean.indexOf(QLatin1Char(open ? '{' : '}'));
            codes += clean[b];
            clean.remove(b, 1);
        }
        // A control word moved out without its blank gets one, so the value cannot lengthen it.
        if (!codes.isEmpty() && (IsLetter(codes.back()) || IsDigit(codes.back()))) codes += QLatin1Char(' ');
        out += QStringView(text).mid(pos, t.start - pos);
        out += codes;
        out += kOpen;
        out += clean;
        out += kOpen;
        pos = t.end;
    }
    out += QStringView(text).mid(pos);
    return out;
}

// The end of the group that opens at pos (the index after its closing brace); -1 when it does not
// close.
qsizetype GroupEnd(QStringView s, qsizetype pos) {
    int depth = 0;
    for (qsizetype i = pos; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == '\\')
            ++i; // an escaped brace or backslash
        else if (c == '{')
            ++depth;
        else if (c == '}' && --depth == 0)
            return i + 1;
    }
    return -1;
}

// The size that fits into a box (limits 0: none), proportions kept; grows only with enlarge.
QSize FitBox(QSize size, double boxW, double boxH, bool enlarge) {
    if (size.isEmpty() || (boxW <= 0 && boxH <= 0)) return size;
    double f = 1e300;
    if (boxW > 0) f = std::min(f, boxW / size.width());
    if (boxH > 0) f = std::min(f, boxH / size.height());
    if (f > 1 && !enlarge) return size;
    return QSize(std::max(1, int(std::lround(size.width() * f))),
                 std::max(1, int(std::lround(size.height() * f))));
}

// The size a picture file is written at when its parameters fix it before the picture is read
// (no rotation): the linked picture's box, the embedded one's quality; invalid when not known.
QSize LoadSize(QSize size, const TPictureParams& p) {
    if (!size.isValid()) return QSize();
    const double w = p.w > 0 ? std::round(p.w * 20) : std::round(p.wcm * 567);
    const double h = p.h > 0 ? std::round(p.h * 20) : std::round(p.hcm * 567);
    if (!p.insertInRtf) return w > 0 || h > 0 ? FitBox(size, w / 15, h / 15, p.enlarge) : QSize();
    if (p.quality.compare(u"auto", Qt::CaseInsensitive) == 0) return FitBox(size, w / 20, h / 20, p.enlarge);
    bool ok = false;
    const int quality = std::clamp(p.quality.toInt(&ok), 10, 100);
    if (!ok || quality >= 100) return QSize();
    return QSize(std::max(1, size.width() * quality / 100), std::max(1, size.height() * quality / 100));
}

QImage Scaled(const QImage& image, QSize size) {
    return size == image.size() ? image : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// A file name from data: no folder parts, no characters file systems refuse.
QString SafeFileName(QString name) {
    for (QChar& c : name)
        if (c < QChar(32) || QStringView(u"/\\:*?\"<>|").contains(c)) c = QLatin1Char('_');
    return name.trimmed();
}

const QString kSaveError = QStringLiteral("Error during saving file \"%1\".\r\nYou do not have access "
                                          "rights, target directory does not exist or target "
                                          "file is already opened in other application.");
} // namespace

void AppendRtfText(QString& out, QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += QLatin1Char('\\');
            out += c;
        } else if (u == '\r' || u == '\n') {
            if (u == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += QLatin1String("\\par ");
        } else if (u == '\t') {
            out += QLatin1String("\\tab ");
        } else if (u < 32) {
            // other control characters have no meaning in a document
        } else if (u < 128) {
            out += c;
        } else {
            out += QLatin1String("\\u");
            out += QString::number(int(int16_t(u)));
            out += QLatin1Char('?');
        }
    }
}

QString PrepareRtfTemplate(const QString& text, int defaultCharset) {
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    while (pos <= text.size()) {
        qsizetype pict = text.indexOf(QLatin1String("{\\pict"), pos);
        QString outside;
        AppendWithoutLineEnds(outside, QStringView(text).mid(pos, (pict < 0 ? text.size() : pict) - pos));
        out += CleanTags(outside);
        if (pict < 0) break;
        const qsizetype end = GroupEnd(text, pict);
        if (end < 0) ThrowTemplateError(report_errors::IncorrectTag(QStringLiteral("{\\pict")));
        out += QStringView(text).mid(pict, end - pict);
        pos = end;
    }
    if (defaultCharset != 0) {
        const QString to = QStringLiteral("fcharset%1").arg(defaultCharset);
        for (qsizetype p = 0; (p = out.indexOf(QLatin1String("fcharset0"), p, Qt::CaseInsensitive)) >= 0;) {
            if (p + 9 < out.size() && IsDigit(out[p + 9])) {
                p += 9;
                continue;
            }
            out.replace(p, 9, to);
            p += to.size();
        }
    }
    return out;
}

// --- the output format

void TRTFReport2::Markup::setKind(bool rtfKind) {
    rtf = rtfKind;
    const TReportMarkup text;
    newPar = rtf ? QStringLiteral("\\par ") : text.newPar;
    newLine = rtf ? QStringLiteral("\\line ") : text.newLine;
    newPage = rtf ? QStringLiteral("\\page ") : text.newPage;
    newCol = rtf ? QStringLiteral("\\column ") : text.newCol;
    extractedLineEnd = rtf ? QStringLiteral("\\par") : text.extractedLineEnd;
}

void TRTFReport2::Markup::appendText(QString& out, QStringView text) const {
    if (rtf)
        AppendRtfText(out, text);
    else
        out += text;
}

void TRTFReport2::Markup::appendPicture(QString& out, const TReportPiece& picture) const {
    if (!rtf) return;
    QString result;
    if (owner_.pictureMarkup(picture, result))
        out += result;
    else
        AppendRtfText(out, result);
}

void TRTFReport2::Markup::addRaised(TReportValue& v, const QString& exponent) const {
    if (!rtf) return TReportMarkup::addRaised(v, exponent);
    v.addMarkup(QStringLiteral("\\super "));
    v.addText(exponent);
    v.addMarkup(QStringLiteral("\\nosupersub "));
}

qsizetype TRTFReport2::Markup::lineEndAt(QStringView text) const {
    if (!rtf) return TReportMarkup::lineEndAt(text);
    // "\par" as a whole control word: not "\pard", and with the blank that ends it.
    if (!text.startsWith(QLatin1String("\\par")) ||
        (text.size() > 4 && (IsLetter(text[4]) || IsDigit(text[4]))))
        return 0;
    return text.size() > 4 && text[4] == ' ' ? 5 : 4;
}

QString TRTFReport2::Markup::decodeTag(QStringView text) const {
    if (!rtf) return text.toString();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] != '\\') {
            out += text[i++];
            continue;
        }
        if (i + 3 < text.size() && text[i + 1] == '\'') {
            bool ok = false;
            const int code = text.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                if (code != 0) out += QChar(code); // the template's 8-bit characters, read as Latin-1
                i += 4;
                continue;
            }
        }
        if (IsUnicodeEscape(text, i)) {
            qsizetype j = i + 2;
            if (text[j] == '-') ++j;
            while (j < text.size() && IsDigit(text[j]))
                ++j;
            out += QChar(char16_t(text.mid(i + 2, j - i - 2).toInt()));
            if (j < text.size() && text[j] == ' ') ++j;
            // the stand-in character for readers without Unicode
            if (j + 3 < text.size() && text[j] == '\\' && text[j + 1] == '\'')
                j += 4;
            else if (j < text.size())
                ++j;
            i = j;
            continue;
        }
        // Control words left in a tag (one that came from a value) do not belong to its text.
        const qsizetype n = ControlWordAt(text, i);
        if (n > 0) {
            i += n;
            continue;
        }
        out += text[i++];
    }
    return out;
}

// --- pictures

bool TRTFReport2::pictureMarkup(const TReportPiece& pic, QString& result) {
    auto fail = [&](const QString& message) {
        ++FailedPictures;
        result = message;
        return false;
    };
    try {
        QImage image;
        QByteArray format;
        bool scaledAtLoad = false;
        if (!pic.image.isNull()) {
            image = pic.image;
            format = pic.format.isEmpty() ? QByteArray("bmp") : pic.format.toLower();
        } else if (pic.slot >= 0 || !pic.format.isEmpty()) {
            return fail(QStringLiteral("Bad picture format."));
        } else if (!pic.text.isEmpty()) {
            if (!QFileInfo::exists(pic.text))
                return fail(QStringLiteral("File \"%1\" not found.").arg(pic.text));
            const QString ext = QFileInfo(pic.text).suffix().toLower();
            const QByteArray readAs = ext == u"bmp"                     ? "bmp"
                                      : ext == u"jpg" || ext == u"jpeg" ? "jpeg"
                                      : ext == u"png"                   ? "png"
                                      : ext == u"emf"                   ? "emf"
                                                                        : "";
            QImageReader reader(pic.text, readAs);
            // A large picture is decoded at the size it is written at, where that is known already.
            const TPictureParams lp = ParsePictureParams(pic.params);
            if (lp.rotate == 0) {
                const QSize target = LoadSize(reader.size(), lp);
                if (target.isValid() && target.width() < reader.size().width()) {
                    reader.setScaledSize(target);
                    scaledAtLoad = true;
                }
            }
            image = reader.read();
            if (image.isNull()) {
                Messages().error(QStringLiteral("Error description:\r\n") + reader.errorString());
                return fail(QStringLiteral("Bad picture format."));
            }
            format = readAs.isEmpty() ? reader.format().toLower() : readAs;
        } else {
            return fail(QStringLiteral("Error in input parameters."));
        }
        const TPictureParams p = ParsePictureParams(pic.params);
        if (!p.saveAs.isEmpty()) format = p.saveAs;
        // Only JPEG keeps its lossy coding; every other source is stored as PNG (or as the BMP asked
        // for), which word processors read everywhere.
        if (format == "jpg") format = "jpeg";
        if (format != "jpeg" && format != "bmp") format = "png";
        if (p.rotate != 0) image = image.transformed(QTransform().rotate(p.rotate), Qt::SmoothTransformation);
        const double w = p.w > 0 ? std::round(p.w * 20) : std::round(p.wcm * 567);
        const double h = p.h > 0 ? std::round(p.h * 20) : std::round(p.hcm * 567);

        if (p.insertInRtf) {
            int quality = 100;
            const bool autoQuality = p.quality.compare(u"auto", Qt::CaseInsensitive) == 0;
            if (!autoQuality && !p.quality.isEmpty()) {
                bool ok = false;
                const int q = p.quality.toInt(&ok);
                if (ok) quality = std::clamp(q, 10, 100);
            }
            if (autoQuality && !scaledAtLoad)
                image = Scaled(image, FitBox(image.size(), w / 20, h / 20, p.enlarge));
            else if (quality < 100 && !scaledAtLoad)
                image = Scaled(image, QSize(std::max(1, image.width() * quality / 100),
                                            std::max(1, image.height() * quality / 100)));
            // A bitmap is embedded as PNG: the picture group has no keyword for plain bitmap data.
            const bool jpeg = format == "jpeg";
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, jpeg ? "jpeg" : "png");
            if (jpeg) writer.setQuality(100);
            if (!writer.write(jpeg ? image.convertToFormat(QImage::Format_RGB32) : image))
                return fail(writer.errorString());
            const QSize goal = FitBox(image.size() * 20, w, h, p.enlarge);
            result = QStringLiteral(
                         "{\\pict\\picscalex100\\picscaley100\\piccropl0\\piccropr0\\piccropt0\\piccropb0"
                         "\\picw%1\\pich%2\\picwgoal%3\\pichgoal%4\\%5 ")
                         .arg(image.width())
                         .arg(image.height())
                         .arg(goal.width())
                         .arg(goal.height())
                         .arg(jpeg ? QLatin1String("jpegblip") : QLatin1String("pngblip"));
            result += QString::fromLatin1(bytes.toHex().toUpper());
            result += QLatin1Char('}');
            return true;
        }

        if ((w > 0 || h > 0) && !scaledAtLoad)
            image = Scaled(image, FitBox(image.size(), w / 15, h / 15, p.enlarge));
        ++PicCount;
        QString name = pictureFileName(pic, p.nameField);
        name += format == "jpeg"  ? QLatin1String(".jpg")
                : format == "bmp" ? QLatin1String(".bmp")
                                  : QLatin1String(".png");
        const QString folder = QFileInfo(OutputFile).absolutePath();
        const QString path = folder + QLatin1Char('/') + name;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            !image.save(&file,
                        format == "jpeg"  ? "JPEG"
                        : format == "bmp" ? "BMP"
                                          : "PNG",
                        format == "jpeg" ? 100 : -1) ||
            !file.commit())
            return fail(QStringLiteral("Cannot write file \"%1\".").arg(path));
        result = QStringLiteral("{\\field{\\*\\fldinst { INCLUDEPICTURE \"");
        AppendRtfText(result, name);
        result += QStringLiteral("\" \\\\* MERGEFORMAT \\\\d }}{\\fldrslt {}}}");
        return true;
    } catch (const TReportException&) {
        throw;
    } catch (const std::exception& e) {
        return fail(ExceptionMessage(e));
    }
}

QString TRTFReport2::pictureFileName(const TReportPiece& pic, const QString& nameField) {
    QString name;
    if (nameField == u"???") {
        if (OnUserCalc) {
            QString calc = nameField;
            bool replace = true;
            OnUserCalc(calc, replace);
            if (replace) name = calc;
        }
    } else if (!nameField.isEmpty()) {
        for (const QString& part : nameField.split(QLatin1Char('+'))) {
            const QString t = part.trimmed();
            if (IsQuoted(t)) {
                name += Unquote(t);
                continue;
            }
            // A field of the picture's dataset; a picture from elsewhere names its field with the letter.
            const QString ref =
                pic.slot >= 0 ? QString(QChar(char16_t('A' + pic.slot))) + QLatin1Char('.') + t : t;
            TReportValue v;
            name += evaluateTag(ref, v) ? v.plain() : t;
        }
    }
    // A name from data stays in the output folder.
    name = SafeFileName(name);
    if (!name.isEmpty()) return name;
    if (pic.slot < 0) return QStringLiteral("ExtPic%1").arg(PicCount);
    return SafeFileName(
        QStringLiteral("%1%2_%3").arg(QChar(char16_t('A' + pic.slot))).arg(pic.recNo).arg(pic.fieldName));
}

// --- the run

TRTFReport2::TRTFReport2() : TReportEngine(markup_), markup_(*this) {}

QString TRTFReport2::readTemplate(bool& latin1) const {
    latin1 = false;
    QString text;
    if (OnGetTemplateStr) {
        OnGetTemplateStr(text);
        return text;
    }
    QFile f(ReportFile);
    if (ReportFile.isEmpty() || !f.open(QIODevice::ReadOnly))
        ThrowCannotOpenTemplate(ReportFile);
    const QByteArray bytes = f.readAll();
    // The system's 8-bit code page is UTF-8 here; bytes that are not UTF-8 are read as Latin-1.
    QStringDecoder utf8(QStringDecoder::Utf8);
    text = utf8.decode(bytes);
    latin1 = utf8.hasError();
    return latin1 ? QString::fromLatin1(bytes) : text;
}

void TRTFReport2::report(int recNbr) {
    if (!OnReportProcess) return;
    bool abort = false;
    OnReportProcess(recNbr, abort);
    if (abort) {
        Aborted = true;
        throw TReportException(QStringLiteral("Action aborted."));
    }
}

QByteArray TRTFReport2::resultBytes(const QString& result, bool latin1) const {
    // An 8-bit RTF template keeps its bytes: values above 127 are written as codes, so the result's
    // other characters all come from the template.
    if (markup_.rtf || TxtCodePage == 0) return latin1 && markup_.rtf ? result.toLatin1() : result.toUtf8();
    const QByteArray name = "CP" + QByteArray::number(TxtCodePage);
    QStringEncoder encoder(name.constData(), QStringConverter::Flag::ConvertInvalidToNull);
    if (!encoder.isValid())
        throw TReportException(QStringLiteral("Unknown code page %1 (TxtCodePage).").arg(TxtCodePage));
    // A character the code page cannot hold comes out as one NUL, which a text file has no use for.
    QByteArray bytes = encoder.encode(result);
    bytes.replace('\0', '?');
    return bytes;
}

void TRTFReport2::writeResult(const QByteArray& bytes, bool& written) {
    written = false;
    while (true) {
        // Written through SafeFile: the old file stays as it was until the new one is complete.
        QString reason;
        try {
            if (OutputFile.isEmpty())
                throw FileWriteError(QStringLiteral("No output file given."), QString());
            SafeFile file(OutputFile);
            if (!markup_.rtf && AppendToFile && file.replacesFile()) {
                QFile old(OutputFile);
                if (!old.open(QIODevice::ReadOnly))
                    throw FileWriteError(QStringLiteral("Cannot read file \"%1\".").arg(OutputFile),
                                         old.errorString());
                file.write(old.readAll());
            }
            file.write(bytes);
            file.commit();
            written = true;
            return;
        } catch (const FileWriteError& e) {
            reason = e.Message;
        }
        const QString message = kSaveError.arg(OutputFile) + QStringLiteral("\r\n") + reason;
        if (!ShowSaveErrorDialog) throw TReportException(message);
        if (Messages().question(message + QStringLiteral("\r\n\r\nTry again?")) != MsgAnswer::Yes) return;
    }
}

void TRTFReport2::afterAction() {
    if (ActionAfter == aaShow) {
        DoActionAfter(OutputFile, aaShow); // a failure is shown; the report itself is done
    } else if (ActionAfter == aaPrint) {
        for (int copy = 0; copy < PrintCopies; ++copy) {
            report(-1);
            QCoreApplication::processEvents();
            if (Aborted) throw TReportException(QStringLiteral("Action aborted."));
            if (!DoActionAfter(OutputFile, aaPrint)) break;
        }
    }
}

bool TRTFReport2::Execute(const std::vector<TDataSet*>& dataSets) {
    setDataSets(dataSets);
    PicCount = 0;
    markup_.setKind(TemplateFormat == tfRTF ||
                    (TemplateFormat == tfAutoDetect &&
                     QFileInfo(ReportFile).suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) != 0));
    if (!ReportFile.isEmpty() && !OutputFile.isEmpty()) {
        const QFileInfo in(ReportFile), out(OutputFile);
        const bool same = in.exists() && out.exists() ? in.canonicalFilePath() == out.canonicalFilePath()
                                                      : in.absoluteFilePath() == out.absoluteFilePath();
        if (same)
            throw TReportException(
                QStringLiteral("The output file \"%1\" is the template itself; choose another output file.")
                    .arg(OutputFile));
    }

    // The progress window (every 10th record) rides on the caller's OnReportProcess for the run.
    std::optional<ProgressScope> progress;
    std::optional<HourglassCursor> hourglass;
    const auto userProcess = OnReportProcess;
    const QString folder = TemplateFolder;
    const auto restore = qScopeGuard([this, userProcess, folder] {
        OnReportProcess = userProcess;
        TemplateFolder = folder;
    });
    if (ShowProgressBar) {
        progress.emplace();
        ProgressWindow(QStringLiteral("Creating of report..."));
        OnReportProcess = [this, userProcess](int recNbr, bool& abort) {
            if (recNbr > 0 && recNbr % 10 == 0)
                ProgressWindow(QStringLiteral("Creating of report...\r\nrecord %1").arg(recNbr),
                               RecCountDS0 > 0 ? ProgressPercent(RecNbrDS0, RecCountDS0) : -1,
                               [this] { Aborted = true; });
            if (userProcess) userProcess(recNbr, abort);
        };
    } else {
        hourglass.emplace();
    }
    if (TemplateFolder.isEmpty() && !ReportFile.isEmpty())
        TemplateFolder = QFileInfo(ReportFile).absolutePath();

    Aborted = false;
    report(0);
    bool latin1 = false;
    QString text = readTemplate(latin1);
    if (markup_.rtf) text = PrepareRtfTemplate(text, DefaultCharset);
    QString result = process(text);

    if (OnModifyBeforeSave) OnModifyBeforeSave(result);
    if (result.isEmpty()) return false;
    bool written = false;
    writeResult(resultBytes(result, latin1), written);
    if (!written) return false;
    report(-1);
    afterAction();
    return true;
}
