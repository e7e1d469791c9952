#pragma once
// Where a direct print run draws: pages of a paint device (a printer, a PDF file) or page images for
// the preview. The run asks the target for its geometry, then draws page after page with one painter.
#include "safe_file.h"

#include <QFile>
#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QPainter>
#include <memory>

class QPagedPaintDevice;
class QPdfWriter;

// The printer's resolution and printable page, in its own pixels.
struct TDeviceGeometry {
    int dpiX = 0, dpiY = 0;
    int width = 0, height = 0;
};

class TPrintPages {
public:
    virtual ~TPrintPages() = default;
    virtual TDeviceGeometry geometry() const = 0;
    // Every measure of the page is divided by this (page images are scaled down; 1 elsewhere).
    virtual double scale() const { return 1; }
    // The painter of the first page; pageWidth x pageHeight are the scaled page in pixels.
    virtual QPainter* begin(int pageWidth, int pageHeight) = 0;
    virtual QPainter* newPage() = 0;
    // Ends the document; an aborted one is thrown away where the target can.
    virtual void finish(bool aborted) = 0;
    virtual int pageCount() const = 0;
};

// The pages of a paint device that pages itself (a printer, a PDF writer).
class TDevicePages : public TPrintPages {
public:
    explicit TDevicePages(QPagedPaintDevice* device) : device_(device) {}
    TDeviceGeometry geometry() const override;
    QPainter* begin(int pageWidth, int pageHeight) override;
    QPainter* newPage() override;
    void finish(bool aborted) override;
    int pageCount() const override { return pages_; }

protected:
    QPagedPaintDevice* device_;
    QPainter painter_;
    int pages_ = 0;
};

// Names of the paper sizes the command line and the windows offer ("A4", "Letter", ...), and the
// size of a name (case-insensitive); false for an unknown name.
QStringList PaperNames();
bool PaperSizeByName(const QString& name, QPageSize& size);

// A PDF file written through a temporary file: the final name appears only when the run completes,
// so an aborted or failed run leaves no half-written PDF (and an older file stays as it was).
class TPdfFilePages : public TDevicePages {
public:
    TPdfFilePages(const QString& path, const QPageSize& paper, QPageLayout::Orientation orientation,
                  int resolution = 600);
    ~TPdfFilePages() override;
    void finish(bool aborted) override;

private:
    SafeFile safe_; // refuses the open database, keeps the old file's mode, writes a pipe in place
    QFile file_;    // its work file
    std::unique_ptr<QPdfWriter> writer_;
};

// Page images for the preview, scaled so that no page is wider than maxWidth pixels.
class TImagePages : public TPrintPages {
public:
    TImagePages(const TDeviceGeometry& printer, int maxWidth);
    TDeviceGeometry geometry() const override { return printer_; }
    double scale() const override { return scale_; }
    QPainter* begin(int pageWidth, int pageHeight) override;
    QPainter* newPage() override;
    void finish(bool aborted) override { painter_.end(); }
    int pageCount() const override { return int(images_.size()); }
    const QList<QImage>& images() const { return images_; }
    QList<QImage> takeImages();

private:
    void addImage();
    TDeviceGeometry printer_;
    double scale_;
    int w_ = 0, h_ = 0;
    QList<QImage> images_;
    QPainter painter_;
};
