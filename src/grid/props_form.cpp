#include "props_form.h"

#include "color_text.h"
#include "custom_prop_save.h"
#include "db_action.h"
#include "db_grid.h"
#include "fields_form.h"
#include "messages.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QLabel* link(const QString& text) {
    auto* l = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()));
    l->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    return l;
}

// Colours in the program's colour texts: "(default)" for none, the named colours, "$00BBGGRR".
QComboBox* colorBox(const QString& none) {
    auto* c = new QComboBox;
    c->setEditable(true);
    c->addItem(none);
    c->addItems(ColorDisplayNames());
    return c;
}

void showColor(QComboBox* box, const QColor& color) {
    if (!color.isValid()) return box->setCurrentIndex(0);
    const QString text = ColorToText(ColorToBgr(color));
    const int i = box->findText(text);
    if (i >= 0)
        box->setCurrentIndex(i);
    else
        box->setEditText(text);
}

QColor colorOf(const QComboBox* box) {
    if (box->currentText() == box->itemText(0)) return QColor();
    const int bgr = TextToColor(box->currentText());
    if (bgr == kNoColor) return QColor();
    return BgrToColor(bgr);
}

QString fontText(const QFont& f) {
    return QStringLiteral("%1, %2").arg(f.family()).arg(f.pointSize());
}
} // namespace

TkDBGridPropsForm::TkDBGridPropsForm(TkDBGrid* grid, bool setColumns, bool setCellConditions,
                                     bool setGridStyle, bool setFilter, QWidget* parent)
    : TkDBDlgBaseForm(QStringLiteral("kDBGridPropsForm"), parent), grid_(grid), setColumns_(setColumns),
      setCellConditions_(setCellConditions), setGridStyle_(setGridStyle), setFilter_(setFilter) {
    setWindowTitle(QStringLiteral("Table properties"));
    chHighlight = new QCheckBox(QStringLiteral("Highlight records according data"));
    lblSetConditions = link(QStringLiteral("Set conditions..."));

    gbStyle = new QGroupBox(QStringLiteral("Grid style"));
    btFont = new QPushButton(QStringLiteral("Font..."));
    btFont->setToolTip(QStringLiteral("Font of the cells"));
    btTitleFont = new QPushButton(QStringLiteral("Title font..."));
    btTitleFont->setToolTip(QStringLiteral("Font of the titles"));
    lFont = new QLabel;
    lTitleFont = new QLabel;
    cbColor = colorBox(QStringLiteral("(default)"));
    cbColorOddRow = colorBox(QStringLiteral("(none)"));
    cbColorSelection = colorBox(QStringLiteral("(default)"));
    chGridLines = new QCheckBox(QStringLiteral("Grid lines"));
    enRowHeight = new QSpinBox;
    enRowHeight->setRange(0, 200);
    enRowHeight->setSpecialValueText(QStringLiteral("automatic"));
    enRowHeight->setToolTip(QStringLiteral("Height of the rows in pixels (automatic: from the font)"));
    chIndicator = new QCheckBox(QStringLiteral("Indicator column"));
    chFooter = new QCheckBox(QStringLiteral("Footer row"));
    auto* style = new QFormLayout(gbStyle);
    auto* fonts = new QHBoxLayout;
    fonts->addWidget(btFont);
    fonts->addWidget(lFont, 1);
    style->addRow(fonts);
    auto* titleFonts = new QHBoxLayout;
    titleFonts->addWidget(btTitleFont);
    titleFonts->addWidget(lTitleFont, 1);
    style->addRow(titleFonts);
    style->addRow(QStringLiteral("Background color:"), cbColor);
    style->addRow(QStringLiteral("Alternate rows color:"), cbColorOddRow);
    style->addRow(QStringLiteral("Selection color:"), cbColorSelection);
    style->addRow(QStringLiteral("Row height:"), enRowHeight);
    style->addRow(chGridLines);
    style->addRow(chIndicator);
    style->addRow(chFooter);

    gbFilter = new QGroupBox(QStringLiteral("Column filters"));
    chFunnel = new QCheckBox(QStringLiteral("Show filter buttons in title row"));
    chFunnelActiveOnly = new QCheckBox(QStringLiteral("Only in the active column"));
    chTextBar = new QCheckBox(QStringLiteral("Show text filter in the header"));
    cbTextBarPosition = new QComboBox;
    cbTextBarPosition->addItems({QStringLiteral("Under the titles"), QStringLiteral("Above the titles")});
    chFilterPanel = new QCheckBox(QStringLiteral("Show footer with filter conditions"));
    auto* filter = new QVBoxLayout(gbFilter);
    filter->addWidget(chFunnel);
    auto* activeOnly = new QHBoxLayout;
    activeOnly->addSpacing(20);
    activeOnly->addWidget(chFunnelActiveOnly);
    filter->addLayout(activeOnly);
    auto* textBar = new QHBoxLayout;
    textBar->addWidget(chTextBar);
    textBar->addWidget(cbTextBarPosition);
    filter->addLayout(textBar);
    filter->addWidget(chFilterPanel);

    lblColumns = link(QStringLiteral("Columns..."));
    lblColumns->setToolTip(QStringLiteral("Fields selection and properties"));
    lblDefault = link(QStringLiteral("Set default properties"));
    btOk = new QPushButton(QStringLiteral("Ok"));
    btOk->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("Cancel"));

    auto* l = new QVBoxLayout(this);
    auto* highlight = new QHBoxLayout;
    highlight->addWidget(chHighlight);
    highlight->addStretch();
    highlight->addWidget(lblSetConditions);
    l->addLayout(highlight);
    l->addWidget(gbStyle);
    l->addWidget(gbFilter);
    auto* links = new QHBoxLayout;
    links->addWidget(lblColumns);
    links->addStretch();
    links->addWidget(lblDefault);
    l->addLayout(links);
    l->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btOk);
    bottom->addWidget(btCancel);
    l->addLayout(bottom);

    chHighlight->setVisible(setCellConditions_);
    lblSetConditions->setVisible(setCellConditions_);
    gbStyle->setVisible(setGridStyle_);
    gbFilter->setVisible(setFilter_);
    lblColumns->setVisible(setColumns_);
    fill();
    LoadPosition();

    connect(chFunnel, &QCheckBox::toggled, this, [this] { filterStates(); });
    connect(chTextBar, &QCheckBox::toggled, this, [this] { filterStates(); });
    connect(btFont, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, font_, this);
        if (ok) setPickedFont(f);
    });
    connect(btTitleFont, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, titleFont_, this);
        if (ok) setPickedTitleFont(f);
    });
    connect(lblSetConditions, &QLabel::linkActivated, this, [this] { setConditions(); });
    connect(lblColumns, &QLabel::linkActivated, this, [this] { ShowFieldsDialog(grid_); });
    connect(lblDefault, &QLabel::linkActivated, this, [this] { resetDefaults(); });
    connect(btOk, &QPushButton::clicked, this, [this] {
        apply();
        accept();
    });
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TkDBGridPropsForm::fill() {
    chHighlight->setChecked(grid_->OptionsEx2.CellCondition.Active);
    const TkDBGridStyle s = ReadGridStyle(*grid_);
    setPickedFont(s.Font);
    setPickedTitleFont(s.TitleFont);
    showColor(cbColor, s.Color);
    showColor(cbColorOddRow, s.ColorOddRow);
    showColor(cbColorSelection, s.ColorSelection);
    chGridLines->setChecked(s.GridLines);
    enRowHeight->setValue(s.RowHeight);
    chIndicator->setChecked(s.ShowIndicator);
    chFooter->setChecked(s.FooterVisible);
    const TkDBGridFilters& f = grid_->OptionsEx2.Filters;
    chFunnel->setChecked(f.FunnelBtn);
    chFunnelActiveOnly->setChecked(f.FunnelBtnActiveOnly);
    chTextBar->setChecked(f.TextBar);
    cbTextBarPosition->setCurrentIndex(f.TextBarTopLayout ? 1 : 0);
    chFilterPanel->setChecked(f.FilterPanel);
    filterStates();
}

void TkDBGridPropsForm::filterStates() {
    chFunnelActiveOnly->setEnabled(chFunnel->isChecked());
    cbTextBarPosition->setEnabled(chTextBar->isChecked());
}

void TkDBGridPropsForm::setPickedFont(const QFont& font) {
    font_ = font;
    lFont->setText(fontText(font));
}

void TkDBGridPropsForm::setPickedTitleFont(const QFont& font) {
    titleFont_ = font;
    lTitleFont->setText(fontText(font));
}

TkDBGridStyle TkDBGridPropsForm::pickedStyle() const {
    TkDBGridStyle s;
    s.Font = font_;
    s.TitleFont = titleFont_;
    s.Color = colorOf(cbColor);
    s.ColorOddRow = colorOf(cbColorOddRow);
    s.ColorSelection = colorOf(cbColorSelection);
    s.GridLines = chGridLines->isChecked();
    s.RowHeight = enRowHeight->value();
    s.ShowIndicator = chIndicator->isChecked();
    s.FooterVisible = chFooter->isChecked();
    return s;
}

void TkDBGridPropsForm::apply() {
    // Only the parts the window offered are applied.
    if (setCellConditions_ && chHighlight->isChecked() != grid_->OptionsEx2.CellCondition.Active)
        grid_->SetCellConditionActive(chHighlight->isChecked());
    if (setGridStyle_) {
        const TkDBGridStyle s = pickedStyle();
        if (!(s == ReadGridStyle(*grid_))) ApplyGridStyle(*grid_, s);
    }
    if (setFilter_) {
        TkDBGridFilters& f = grid_->OptionsEx2.Filters;
        f.FunnelBtn = chFunnel->isChecked();
        f.FunnelBtnActiveOnly = chFunnelActiveOnly->isChecked();
        f.TextBar = chTextBar->isChecked();
        f.TextBarTopLayout = cbTextBarPosition->currentIndex() == 1;
        f.FilterPanel = chFilterPanel->isChecked();
        grid_->FiltersChanged();
    }
}

void TkDBGridPropsForm::setConditions() {
    grid_->ShowCellConditions();
    // Storing conditions switches the highlighting on.
    chHighlight->setChecked(grid_->OptionsEx2.CellCondition.Active);
}

void TkDBGridPropsForm::resetDefaults() {
    if (Messages().question(QStringLiteral("Reset to default properties?")) != MsgAnswer::Yes) return;
    ApplyGridStyle(*grid_, DefaultGridStyle());
    grid_->ColumnLooks.clear();
    grid_->RestoreColumnsWidth(true, true);
    ForgetStoredGridSettings(grid_);
    if (TkDBAction* module = TkDBAction::Instance()) module->OnSetDefaultGridColumns(grid_);
    accept();
}

bool ShowGridPropsDialog(TkDBGrid* grid, bool setColumns, bool setCellConditions, bool setGridStyle,
                         bool setFilter) {
    if (!grid) return false;
    TkDBGridPropsForm form(grid, setColumns, setCellConditions, setGridStyle, setFilter, grid->window());
    return form.exec() == QDialog::Accepted;
}

void ForgetStoredGridSettings(TkDBGrid* grid) {
    if (!grid || grid->objectName().isEmpty()) return;
    for (TCustomPropSave* saver : grid->window()->findChildren<TCustomPropSave*>())
        if (!saver->DisableComponents.contains(grid->objectName(), Qt::CaseInsensitive))
            saver->DisableComponents << grid->objectName();
}

void InstallGridPropsAction(TkDBAction* module) {
    module->setHandler(
        QStringLiteral("acoProperties"),
        [module](TkDBGrid* g) {
            // The filter options follow whether the grid offers filtering at all (its Tag), not
            // whether the filter switch has a filter to switch right now.
            ShowGridPropsDialog(g, module->action(QStringLiteral("accColumns"))->isEnabled(),
                                module->AllowSetCellConditions, module->AllowSetGridStyle, !(g->Tag & 4));
        },
        [](TkDBGrid* g) { return g->dataSet() && g->dataSet()->Active(); });
}
