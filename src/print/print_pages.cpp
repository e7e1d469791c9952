#include "print_pages.h"

#include "exceptions.h"

#include <QPdfWriter>
#include <cmath>

TDeviceGeometry TDevicePages::geometry() const {
    return {device_->logicalDpiX(), device_->logicalDpiY(), device_->width(), device_->height()};
}

QPainter* TDevicePages::begin(int, int) {
    if (!painter_.begin(device_)) throw Exception("Cannot start the print document.");
    pages_ = 1;
    return &painter_;
}

QPainter* TDevicePages::newPage() {
    if (!device_->newPage()) throw Exception("Cannot start a new page.");
    ++pages_;
    return &painter_;
}

void TDevicePages::finish(bool) {
    if (painter_.isActive()) painter_.end();
}

namespace {
struct Paper {
    const char* name;
    QPageSize::PageSizeId id;
};
const Paper kPapers[] = {{"A4", QPageSize::A4},
                         {"Letter", QPageSize::Letter},
                         {"Legal", QPageSize::Legal},
                         {"A3", QPageSize::A3},
                         {"A5", QPageSize::A5},
                         {"B5", QPageSize::B5},
                         {"Executive", QPageSize::Executive}};
} // namespace

QStringList PaperNames() {
    QStringList names;
    for (const Paper& p : kPapers)
        names << QString::fromLatin1(p.name);
    return names;
}

bool PaperSizeByName(const QString& name, QPageSize& size) {
    for (const Paper& p : kPapers)
        if (name.compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0) {
            size = QPageSize(p.id);
            return true;
        }
    return false;
}

TPdfFilePages::TPdfFilePages(const QString& path, const QPageSize& paper,
                             QPageLayout::Orientation orientation, int resolution)
    : TDevicePages(nullptr), safe_(path, SafeFile::WorkFile), file_(safe_.workFile()) {
    if (!file_.open(QIODevice::WriteOnly))
        throw Exception(QStringLiteral("Cannot write file \"%1\": %2.").arg(path, file_.errorString()));
    writer_ = std::make_unique<QPdfWriter>(&file_);
    writer_->setResolution(resolution);
    writer_->setPageLayout(QPageLayout(paper, orientation, QMarginsF(0, 0, 0, 0)));
    writer_->setCreator(QStringLiteral("Tabulo"));
    device_ = writer_.get();
}

TPdfFilePages::~TPdfFilePages() {
    if (painter_.isActive()) painter_.end();
    writer_.reset();
    // Not committed: SafeFile drops the temporary file.
}

void TPdfFilePages::finish(bool aborted) {
    TDevicePages::finish(aborted);
    writer_.reset();
    const bool written = file_.error() == QFileDevice::NoError && file_.flush();
    const QString reason = file_.errorString();
    file_.close();
    if (aborted) return; // the temporary file goes with SafeFile
    if (!written) throw Exception(QStringLiteral("Cannot write file \"%1\": %2.").arg(safe_.path(), reason));
    safe_.commit();
}

TImagePages::TImagePages(const TDeviceGeometry& printer, int maxWidth)
    : printer_(printer), scale_(std::max(1.0, double(printer.width) / std::max(1, maxWidth))) {}

void TImagePages::addImage() {
    if (painter_.isActive()) painter_.end();
    QImage img(std::max(1, w_), std::max(1, h_), QImage::Format_RGB888);
    img.fill(Qt::white);
    // The image's resolution is the scaled printer's, so point sizes keep the printed proportions.
    img.setDotsPerMeterX(int(std::lround(printer_.dpiX / scale_ / 0.0254)));
    img.setDotsPerMeterY(int(std::lround(printer_.dpiY / scale_ / 0.0254)));
    images_.append(img);
    painter_.begin(&images_.last());
}

QPainter* TImagePages::begin(int pageWidth, int pageHeight) {
    images_.clear();
    w_ = pageWidth;
    h_ = pageHeight;
    addImage();
    return &painter_;
}

QPainter* TImagePages::newPage() {
    addImage();
    return &painter_;
}

QList<QImage> TImagePages::takeImages() {
    if (painter_.isActive()) painter_.end();
    return std::exchange(images_, {});
}
