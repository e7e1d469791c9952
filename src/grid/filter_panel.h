#pragma once
// The grid's filter footer: a strip under the grid that shows the dataset's filter text; a click opens
// an editor with the text and the earlier ones, and Enter applies what it holds.
#include <QWidget>

class QComboBox;
class QHBoxLayout;
class QLabel;
class TkDBGrid;

class GridFilterPanel : public QWidget {
    Q_OBJECT
public:
    explicit GridFilterPanel(TkDBGrid* grid);
    int panelHeight() const; // 2 x padding + 21 pixels
    // The dataset's filter changed: the text and the history follow.
    void filterChanged();
    // Opens the editor over the strip.
    void edit();
    // Applies the editor's text with the errors shown; true on success.
    bool applyText();
    void buttonsChanged();

    QLabel* lblFilter;
    QComboBox* eFilter; // the editor, hidden while not editing
    QWidget* buttons;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    TkDBGrid* grid_;
};

// The footer's history (newest first), kept with the grid's column filters.
QStringList& FilterPanelItems(TkDBGrid* grid);
