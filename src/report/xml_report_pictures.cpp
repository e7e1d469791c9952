// The pictures of the XML report: loading and storing them in the package, their size in the part's
// units, and the relationships, content types and manifest entries they need.
#include "xml_report.h"
#include "xml_report_parts.h"
#include "zip_archive.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace {
struct TStoredPicture {
    QByteArray bytes;
    QString ext, contentType;
    QSize pixels;
};

// The picture in the format it is stored in the package, or an error text. A file that is stored
// as it is gives its size without being decoded, so large photos cost no pixel memory.
QString LoadPicture(const TReportPiece& piece, const TPictureParams& p, TStoredPicture& out) {
    int quality = 100;
    if (!p.quality.isEmpty() && p.quality.compare(u"auto", Qt::CaseInsensitive) != 0) {
        bool ok = false;
        quality = std::clamp(p.quality.trimmed().toInt(&ok), 10, 100);
        if (!ok) quality = 100;
    }
    auto storeAs = [&](const QByteArray& format) {
        QByteArray store = format == "jpeg" || format == "jpg" ? QByteArray("jpeg") : QByteArray("png");
        if (p.saveAs == "jpeg" || p.saveAs == "png") store = p.saveAs;
        out.ext = store == "jpeg" ? QStringLiteral("jpg") : QStringLiteral("png");
        out.contentType = store == "jpeg" ? QStringLiteral("image/jpeg") : QStringLiteral("image/png");
        return store;
    };
    QImage image = piece.image;
    QByteArray format = piece.format.toLower();
    bool scaled = false;
    if (image.isNull()) {
        if (piece.text.isEmpty()) return QStringLiteral("Error in input parameters.");
        QFile f(piece.text);
        if (!QFileInfo(piece.text).isFile() || !f.open(QIODevice::ReadOnly))
            return QStringLiteral("File \"%1\" not found.").arg(piece.text);
        QByteArray original = f.readAll();
        QBuffer buffer(&original);
        QImageReader reader(&buffer);
        format = reader.format().toLower();
        const QSize size = reader.size();
        const QByteArray store = storeAs(format);
        const bool sameFormat = store == format || (store == "jpeg" && format == "jpg");
        if (size.isValid() && p.rotate == 0 && quality == 100 && sameFormat) {
            out.pixels = size;
            out.bytes = std::move(original);
            return QString();
        }
        if (size.isValid() && p.rotate == 0 && quality < 100) {
            reader.setScaledSize(
                QSize(std::max(1, size.width() * quality / 100), std::max(1, size.height() * quality / 100)));
            scaled = true;
        }
        image = reader.read();
        if (image.isNull()) return QStringLiteral("Bad picture format.");
    }
    if (p.rotate != 0) image = image.transformed(QTransform().rotate(p.rotate), Qt::SmoothTransformation);
    if (quality < 100 && !scaled)
        image = image.scaled(std::max(1, image.width() * quality / 100),
                             std::max(1, image.height() * quality / 100), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    const QByteArray store = storeAs(format);
    out.pixels = image.size();
    QBuffer buffer(&out.bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, store.constData(), store == "jpeg" ? 95 : -1))
        return QStringLiteral("Bad picture format.");
    return QString();
}

// Width and height in the target unit (unit = size of one 1/96 inch pixel) after the box rules.
void FitPicture(QSize px, const TPictureParams& p, double unit, double cm, double inch, double& w,
                double& h) {
    const double bw = p.wcm > 0 ? p.wcm * cm : p.winch > 0 ? p.winch * inch : p.w * unit;
    const double bh = p.hcm > 0 ? p.hcm * cm : p.hinch > 0 ? p.hinch * inch : p.h * unit;
    w = px.width() * unit;
    h = px.height() * unit;
    const double ratio = px.width() > 0 ? double(px.height()) / px.width() : 1;
    if (bw > 0 && (bw < w || p.enlarge)) {
        w = bw;
        h = w * ratio;
    }
    if (bh > 0 && (bh < h || p.enlarge)) {
        h = bh;
        w = ratio > 0 ? h / ratio : w;
    }
}
} // namespace

void TkXMLReport::writePicture(QString& out, const TReportPiece& piece) {
    if (kind_ != xtfDOCX && kind_ != xtfODT) {
        ++FailedPictures;
        appendPartText(out, CreatingError(QStringLiteral("Unknown template type.")));
        return;
    }
    const TPictureParams p = ParsePictureParams(piece.params);
    TStoredPicture pic;
    const QString error = LoadPicture(piece, p, pic);
    if (!error.isEmpty()) {
        ++FailedPictures;
        appendPartText(out, error);
        return;
    }
    if (!p.quality.isEmpty() && p.quality.compare(u"auto", Qt::CaseInsensitive) == 0) {
        // Enough pixels for the displayed box at 192 dots per inch; never enlarged.
        double w, h;
        FitPicture(pic.pixels, p, 1, 96 / 2.54, 96, w, h);
        if (2 * w < pic.pixels.width()) {
            TReportPiece scaled;
            QBuffer buffer(&pic.bytes);
            QImageReader reader(&buffer);
            reader.setScaledSize(QSize(std::max(1, int(2 * w)), std::max(1, int(2 * h))));
            scaled.image = reader.read();
            scaled.format = pic.ext == u"jpg" ? "jpeg" : "png";
            TPictureParams plain = p;
            plain.quality.clear();
            plain.rotate = 0;
            TStoredPicture smaller;
            if (LoadPicture(scaled, plain, smaller).isEmpty()) pic.bytes = std::move(smaller.bytes);
        }
    }
    // Names already in the package (a result used again as a template) are passed over.
    QString media, relId;
    do {
        ++mediaCounter_;
        const QString n = QStringLiteral("%1").arg(mediaCounter_, 6, 10, QLatin1Char('0'));
        media = QStringLiteral("media/image") + n + QLatin1Char('.') + pic.ext;
        relId = QStringLiteral("xRepId") + n;
    } while (entryNames_.contains((kind_ == xtfDOCX ? QStringLiteral("word/") + media : media).toLower()) ||
             partRelsText_.contains(QStringLiteral("\"") + relId + QStringLiteral("\"")));
    const QString entry = kind_ == xtfDOCX ? QStringLiteral("word/") + media : media;
    try {
        zip_->write(entry, pic.bytes);
    } catch (const Exception& e) {
        throw TReportException(CreatingError(e.Message));
    }
    entryNames_.insert(entry.toLower());
    mediaTypes_.insert(pic.ext + QLatin1Char('=') + pic.contentType);
    ++PicCount;
    double w, h;
    if (kind_ == xtfDOCX) {
        FitPicture(pic.pixels, p, 9525, 360000, 914400, w, h);
        const qint64 cx = std::llround(w), cy = std::llround(h), id = nextDrawingId_++;
        partRels_.append(
            QStringLiteral("<Relationship Id=\"%1\" "
                           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                           "image\" Target=\"%2\"/>")
                .arg(relId, media));
        out +=
            QStringLiteral(
                "</w:t></w:r><w:r><w:drawing><wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" "
                "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\">"
                "<wp:extent cx=\"%1\" cy=\"%2\"/><wp:docPr id=\"%3\" name=\"Pic%3\"/><wp:cNvGraphicFramePr>"
                "<a:graphicFrameLocks xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                "noChangeAspect=\"1\"/></wp:cNvGraphicFramePr><a:graphic "
                "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><a:graphicData "
                "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic "
                "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/"
                "picture\"><pic:nvPicPr><pic:cNvPr "
                "id=\"%3\" name=\"Image\"/><pic:cNvPicPr/></pic:nvPicPr><pic:blipFill><a:blip r:embed=\"%4\" "
                "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"/><a:stretch>"
                "<a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext "
                "cx=\"%1\" cy=\"%2\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr>"
                "</pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r><w:r><w:t "
                "xml:space=\"preserve\">")
                .arg(cx)
                .arg(cy)
                .arg(id)
                .arg(relId);
    } else {
        FitPicture(pic.pixels, p, 26.458, 1000, 2540, w, h);
        manifestEntries_.append(
            QStringLiteral("<manifest:file-entry manifest:full-path=\"%1\" manifest:media-type=\"%2\"/>")
                .arg(media, pic.contentType));
        out += QStringLiteral(
                   "<draw:frame draw:style-name=\"a0\" draw:name=\"Img%1\" text:anchor-type=\"as-char\" "
                   "svg:x=\"0cm\" svg:y=\"0cm\" svg:width=\"%2cm\" svg:height=\"%3cm\" "
                   "style:rel-width=\"scale\" style:rel-height=\"scale\"><draw:image xlink:href=\"%4\" "
                   "xlink:type=\"simple\" xlink:show=\"embed\" xlink:actuate=\"onLoad\"/><svg:title/>"
                   "<svg:desc/></draw:frame>")
                   .arg(mediaCounter_)
                   .arg(std::round(w) / 1000, 0, 'f', 3)
                   .arg(std::round(h) / 1000, 0, 'f', 3)
                   .arg(media);
    }
}

// The relationships (DOCX) of the pictures stored for a part.
void TkXMLReport::finishPartPictures(const QString& partName) {
    if (kind_ == xtfDOCX && !partRels_.isEmpty()) {
        const QString relsName = QStringLiteral("word/_rels/") + partName.mid(5) + QStringLiteral(".rels");
        QString rels = partRelsText_;
        if (rels.isEmpty())
            rels = QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<Relationships "
                "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                "</Relationships>");
        const qsizetype at = rels.lastIndexOf(QLatin1String("</Relationships>"));
        if (at < 0)
            throw TReportException(CreatingError(QStringLiteral("Invalid part \"%1\".").arg(relsName)));
        rels.insert(at, partRels_.join(QString()));
        zip_->write(relsName, rels.toUtf8());
        partRelsText_ = rels;
    }
}

// The content types (DOCX) or manifest entries (ODT) of the pictures of all parts, written once: an
// entry written in this run cannot be read back before the package is saved.
void TkXMLReport::finishPackagePictures() {
    if (kind_ == xtfDOCX && !mediaTypes_.isEmpty()) {
        const QString name = QStringLiteral("[Content_Types].xml");
        QString types = QString::fromUtf8(zip_->read(name));
        QString add;
        for (const QString& t : mediaTypes_) {
            const QString ext = t.section(QLatin1Char('='), 0, 0), type = t.section(QLatin1Char('='), 1);
            if (!types.contains(QStringLiteral("Extension=\"%1\"").arg(ext), Qt::CaseInsensitive))
                add += QStringLiteral("<Default Extension=\"%1\" ContentType=\"%2\"/>").arg(ext, type);
        }
        if (!add.isEmpty()) {
            const qsizetype at = types.lastIndexOf(QLatin1String("</Types>"));
            if (at < 0)
                throw TReportException(CreatingError(QStringLiteral("Invalid part \"%1\".").arg(name)));
            types.insert(at, add);
            zip_->write(name, types.toUtf8());
        }
    }
    if (kind_ == xtfODT && !manifestEntries_.isEmpty()) {
        const QString name = QStringLiteral("META-INF/manifest.xml");
        QString manifest = QString::fromUtf8(zip_->read(name));
        const qsizetype at = manifest.lastIndexOf(QLatin1String("</manifest:manifest>"));
        if (at < 0) throw TReportException(CreatingError(QStringLiteral("Invalid part \"%1\".").arg(name)));
        manifest.insert(at, manifestEntries_.join(QString()));
        zip_->write(name, manifest.toUtf8());
    }
}
