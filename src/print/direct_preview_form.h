#pragma once
// TkDBPrintDirectPreviewForm ("Print preview"): the page images of a direct print run, page by page,
// with zoom; "Print" closes it with Ok.
#include <QDialog>
#include <QImage>
#include <QList>

class QLabel;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QToolButton;
class TPropSaveMain;

class TkDBPrintDirectPreviewForm : public QDialog {
    Q_OBJECT
public:
    explicit TkDBPrintDirectPreviewForm(QWidget* parent = nullptr);
    ~TkDBPrintDirectPreviewForm() override;

    void SetBmpList(const QList<QImage>& list);
    void ShowBmp(int index);
    int pageIndex() const { return index_; }
    int Zoom() const { return zoom_; }
    void setZoom(int percent); // not above 0: ignored
    void ZoomIn();
    void ZoomOut();
    void ZoomFit();

    QScrollArea* view;
    QLabel* image;
    QToolButton* btZoomFit;
    QToolButton* btZoomIn;
    QToolButton* btZoomOut;
    QSpinBox* ePage;
    QLabel* lPageCount;
    QToolButton* btPrev;
    QToolButton* btNext;
    QPushButton* btPrint;
    QPushButton* btClose;
    TPropSaveMain* PropSaveMain1;

private:
    void render();
    QList<QImage> list_;
    int index_ = -1;
    int zoom_ = 100;
    bool acting_ = false;
};
