#include "export_form.h"

#include "cell_conditions.h"
#include "dataset.h"
#include "db_action.h"
#include "db_grid_ms.h"
#include "fields_form.h"
#include "filter_form.h"
#include "grid_print_source.h"
#include "messages.h"
#include "print_form_parts.h"
#include "prop_save_main.h"
#include "separator_text.h"
#include "std_ctrl_prop_save.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <memory>

std::function<QString(QWidget*, const QString&, const QString&)> TkDBExportForm::AskSaveFile =
    [](QWidget* parent, const QString& filter, const QString& suffix) {
        QFileDialog d(parent, QString(), QString(), filter);
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.setDefaultSuffix(suffix);
        return d.exec() == QDialog::Accepted ? d.selectedFiles().value(0) : QString();
    };
std::function<QString(QWidget*, const QString&)> TkDBExportForm::AskTemplateFile = [](QWidget* parent,
                                                                                      const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
};

namespace {
const QString kAllFiles = QStringLiteral("All files (*.*)");

// The copy's columns in shown order with the source grid's titles; the source grid's selection.
TGridSource ExportSourceOf(TkDBGrid* orig, TkDBGrid* copy, bool withSelection) {
    std::vector<TGridColumn> cols;
    QHeaderView* h = copy->horizontalHeader();
    for (int visual = 0; visual < h->count(); ++visual) {
        const int logical = h->logicalIndex(visual);
        TField* f = copy->fieldOfColumn(logical);
        if (!f) continue;
        const TkDBGrid::ColumnLook l = copy->columnLook(logical);
        ExportColumnLook look;
        if (l.color.isValid()) look.Background = l.color.rgb() & 0xFFFFFF;
        if (l.ownFont) {
            look.FontName = l.font.family();
            look.FontSize = l.font.pointSizeF() > 0 ? l.font.pointSizeF() : 0;
            look.Bold = l.font.bold();
        }
        cols.push_back({f->FieldName, orig->GetTitleText(logical), !copy->isColumnHidden(logical), look});
    }
    std::function<bool()> selected;
    if (auto* ms = qobject_cast<TkDBGrid_MS*>(orig); ms && withSelection)
        selected = [ms] { return ms->IsActiveSelected(); };
    return TGridSource(copy->dataSet(), std::move(cols), std::move(selected));
}

// How the source grid paints a data cell when it is not drawn as selected: its column's own look, then
// the grid's conditions and cell events (the marking of selected records is left out). Nothing when
// the grid paints every cell alike.
TGridSource::CellLookFn CellLooksOf(TkDBGrid* orig) {
    const bool conditions = orig->OptionsEx2.CellCondition.Active && orig->CellParamsConditions.Count() > 0;
    if (!conditions && !orig->OnGetCellParams && !orig->OnGetCellParamsEx && orig->ColumnLooks.isEmpty())
        return {};
    // Today and the aggregates the conditions compare with are read anew for the export.
    orig->CellParamsConditions.ResetCond();
    struct Start {
        const TField* field;
        QFont font;
        int background;
    };
    struct State {
        std::vector<Start> starts; // per field, found at its first cell
        TCellParams params;
    };
    auto state = std::make_shared<State>();
    return [orig, state](const TField* f, int position, ExportCellLook& look) {
        State& s = *state;
        auto start =
            std::find_if(s.starts.begin(), s.starts.end(), [f](const Start& x) { return x.field == f; });
        if (start == s.starts.end()) {
            const TkDBGrid::ColumnLook l = orig->ColumnLooks.value(f->FieldName.toLower());
            s.starts.push_back(
                {f, l.ownFont ? l.font : orig->font(), l.color.isValid() ? ColorToBgr(l.color) : kNoColor});
            start = s.starts.end() - 1;
        }
        TCellParams& p = s.params;
        p.font = start->font;
        p.background = start->background;
        p.fontColor = kNoColor;
        p.image = TDataImageDef();
        orig->GetCellParams(f, position, p, false, false);
        auto rgb = [](int bgr) {
            return bgr == kNoColor ? ExportCellLook::kNone : unsigned(BgrToColor(bgr).rgb() & 0xFFFFFF);
        };
        look.Background = rgb(p.background);
        look.FontColor = rgb(p.fontColor);
        look.Bold = p.font.bold();
    };
}

QCheckBox* Check(const char* name, const char* caption, bool checked = false) {
    auto* c = Named(new QCheckBox(QString::fromUtf8(caption)), name);
    c->setChecked(checked);
    return c;
}
} // namespace

TkDBExportForm::TkDBExportForm(TkDBGrid* grid, bool filterAllowed, bool columnsAllowed, bool noTemplates,
                               bool structOnly, QWidget* parent)
    : QDialog(parent), OrigGr(grid), SetFlt(filterAllowed), SetCol(columnsAllowed), StructOnly(structOnly) {
    setObjectName(QStringLiteral("TkDBExportForm"));
    setWindowTitle(QStringLiteral("Export data"));
    DBGrid = MakeWorkingCopy(grid, this);
    if (auto* ms = qobject_cast<TkDBGrid_MS*>(grid)) HasSelection = ms->GetSelectedRecCount() > 0;
    TXTExp.FieldSeparator = QStringLiteral(" ");
    SLKExp.SetFontName = QStringLiteral("Arial");
    TXTExp.ShowProgressBar = XLSExp.ShowProgressBar = SLKExp.ShowProgressBar = true;
    RTFRep.ShowMaximized = RTFRep.ShowSaveErrorDialog = RTFRep.ShowProgressBar = true;

    auto* root = new QVBoxLayout(this);
    auto* kinds = new QGroupBox(QStringLiteral(" Type of export: "));
    auto* kindsLayout = new QVBoxLayout(kinds);
    rg = new QButtonGroup(this);
    rg->setObjectName(QStringLiteral("rg"));
    const char* items[] = {"Export to text file", "Export to MS Excel", "Export to table format SLK",
                           "Export to RTF, DOCX or ODT template"};
    for (int i = 0; i < (noTemplates ? 3 : 4); ++i) {
        auto* b = new QRadioButton(QString::fromUtf8(items[i]));
        b->setObjectName(QStringLiteral("rg%1").arg(i));
        rg->addButton(b, i);
        kindsLayout->addWidget(b);
    }
    rg->button(0)->setChecked(true);
    root->addWidget(kinds);

    auto* range = new QFormLayout;
    const TPrintRangeControls r = AddRangeControls(range);
    rbSelCol = r.rbSelCol;
    rbAllCol = r.rbAllCol;
    btFields = r.btFields;
    btFilter = r.btFilter;
    lblSetDefaultCol = r.lblSetDefaultCol;
    rbSelCol->setText(QStringLiteral("Visible columns"));
    rbAllCol->setText(QStringLiteral("All columns"));
    btFields->setText(QStringLiteral("Column selection"));
    btFields->setToolTip(QStringLiteral("Export only selected columns, set order and properties."));
    btFilter->setText(QStringLiteral("Data selection"));
    btFilter->setToolTip(QStringLiteral("Export only selected records."));
    chSelRecOnly = Check("chSelRecOnly", "Selected rows only");
    chSelRecOnly->setVisible(HasSelection);
    range->addRow(chSelRecOnly);
    auto* rangeBox = new QGroupBox(QStringLiteral(" Range of export: "));
    rangeBox->setLayout(range);
    root->addWidget(rangeBox);

    pages = new QStackedWidget;
    auto* text = new QWidget;
    auto* tf = new QFormLayout(text);
    chFName1 = Check("chFName1", "Add column name", true);
    chFRealName1 = Check("chFRealName1", "Use real name of fields");
    chCol1 = Check("chCol1", "Align data to columns");
    chCol1->setToolTip(QStringLiteral("Add spaces to default width"));
    chAdd1 = Check("chAdd1", "Append data after existing");
    cbSeparator_nostore = Named(new QComboBox, "cbSeparator_nostore");
    cbSeparator_nostore->setEditable(true);
    cbSeparator_nostore->addItems({", (comma)", "; (semicolon)", "#9   (tab)", "#32  (space)"});
    cbSeparator_nostore->setCurrentIndex(1);
    for (QCheckBox* c : {chFName1, chFRealName1, chCol1, chAdd1})
        tf->addRow(c);
    tf->addRow(QStringLiteral("Column separator:"), cbSeparator_nostore);
    pages->addWidget(text);

    auto* sheet = new QWidget;
    auto* sf = new QFormLayout(sheet);
    chFName2 = Check("chFName2", "Add column name", true);
    chFRealName2 = Check("chFRealName2", "Use real name of fields");
    chSum2 = Check("chSum2", "Add sums of numeric columns");
    chCol2 = Check("chCol2", "Set columns width", true);
    chBorders2 = Check("chBorders2", "Set cell borders");
    chFreezePanes2 = Check("chFreezePanes2", "Freeze title row");
    chAddSheet2 = Check("chAddSheet2", "Export data as new sheet");
    chAdd2 = Check("chAdd2", "Append data below existing rows");
    for (QCheckBox* c :
         {chFName2, chFRealName2, chSum2, chCol2, chBorders2, chFreezePanes2, chAddSheet2, chAdd2})
        sf->addRow(c);
    pages->addWidget(sheet);

    auto* templ = new QWidget;
    auto* pf = new QFormLayout(templ);
    btRepFile = Named(new QPushButton(QStringLiteral("Report template:")), "btRepFile");
    lRepFile = Named(new QLabel, "lRepFile");
    pf->addRow(btRepFile, lRepFile);
    eCharSet = Named(new QSpinBox, "eCharSet");
    eCharSet->setRange(0, 9999);
    eCharSet->setValue(238);
    pf->addRow(QStringLiteral("Code page (charset):"), eCharSet);
    pages->addWidget(templ);
    root->addWidget(pages);

    auto* bottom = new QFormLayout;
    cbAction_nostore = Named(new QComboBox, "cbAction_nostore");
    cbAction_nostore->addItems(
        {QStringLiteral("Save only"), QStringLiteral("Show"), QStringLiteral("Print")});
    cbAction_nostore->setCurrentIndex(1);
    bottom->addRow(QStringLiteral("Exported file:"), cbAction_nostore);
    root->addLayout(bottom);
    btOk = Named(new QPushButton(QStringLiteral("Ok")), "btOk");
    btOk->setToolTip(QStringLiteral("Run selected export"));
    btCancel = Named(new QPushButton(QStringLiteral("Cancel")), "btCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    root->addLayout(buttons);

    connect(rg, &QButtonGroup::idClicked, this, [this] { rgClick(); });
    auto realNames = [this] {
        chFRealName1->setEnabled(chFName1->isChecked());
        chFRealName2->setEnabled(chFName2->isChecked());
    };
    connect(chFName1, &QCheckBox::toggled, this, realNames);
    connect(chFName2, &QCheckBox::toggled, this, realNames);
    connect(btFilter, &QPushButton::clicked, this, [this] {
        ShowFilterDialog(DBGrid, nullptr, true);
        OrigGr->FilterChangedNotification();
    });
    connect(btFields, &QPushButton::clicked, this, [this] { ShowFieldsDialog(DBGrid); });
    connect(lblSetDefaultCol, &QLabel::linkActivated, this, [this] { CopyGridColumns(OrigGr, DBGrid); });
    connect(btRepFile, &QPushButton::clicked, this, [this] {
        const QString f =
            AskTemplateFile(this, QStringLiteral("Rich text format (*.rtf);;MSWord document (*.docx);;"
                                                 "Open document format (*.odt);;") +
                                      kAllFiles);
        if (!f.isEmpty()) SetTemplate(f);
    });
    connect(btOk, &QPushButton::clicked, this, [this] { btOkClick(); });
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);

    kDlgPropSave = new TPropSaveMain(this);
    kDlgPropSave->setObjectName(QStringLiteral("kDlgPropSave"));
    kDlgPropSave->StdCtrl->Components = {"cbAction_nostore",
                                         "cbSeparator_nostore",
                                         "eCharSet",
                                         "chAdd1",
                                         "chAdd2",
                                         "chAddSheet2",
                                         "chCol1",
                                         "chCol2",
                                         "chFName1",
                                         "chFRealName1",
                                         "chFName2",
                                         "chFRealName2",
                                         "chFreezePanes2",
                                         "chSum2",
                                         "rbAllCol",
                                         "rbSelCol",
                                         "rg",
                                         "chSelRecOnly",
                                         "chBorders2"};
    kDlgPropSave->Loaded();
    if (!rg->checkedButton()) rg->button(0)->setChecked(true); // a stored kind this opening does not offer
    realNames();
    rgClick();
}

TkDBExportForm::Kind TkDBExportForm::kind() const {
    return Kind(std::max(rg->checkedId(), 0));
}

void TkDBExportForm::rgClick() {
    const Kind k = kind();
    pages->setCurrentIndex(k == kText ? 0 : k == kTemplate ? 2 : 1);
    for (QCheckBox* c : {chBorders2, chFreezePanes2, chAddSheet2, chAdd2})
        c->setVisible(k == kExcel);
    btFilter->setEnabled(SetFlt);
    const bool columns = SetCol && k != kTemplate;
    btFields->setEnabled(columns);
    for (QWidget* w : std::initializer_list<QWidget*>{rbSelCol, rbAllCol, chSelRecOnly})
        w->setEnabled(columns);
    btOk->setEnabled(k != kTemplate || !ReportFile.isEmpty());
}

void TkDBExportForm::SetTemplate(const QString& path) {
    ReportFile = path;
    lRepFile->setText(path);
    RTFRep.ReportFile = XMLRep.ReportFile = path;
    eCharSet->setEnabled(QFileInfo(path).suffix().compare(QLatin1String("rtf"), Qt::CaseInsensitive) == 0);
    btOk->setEnabled(true);
}

void TkDBExportForm::btOkClick() {
    const Kind k = kind();
    const int action = cbAction_nostore->currentIndex();
    QString file;
    // A workbook only shown or printed needs no name: it is written to the temporary folder.
    const bool noFile = k == kExcel && action > 0 && !chAddSheet2->isChecked() && !chAdd2->isChecked();
    if (!noFile) {
        QString filter, suffix;
        switch (k) {
        case kText:
            filter = QStringLiteral("Text file (*.txt);;"), suffix = QStringLiteral("txt");
            break;
        case kExcel:
            filter = QStringLiteral("Excel file (*.xlsx *.xlsm);;"), suffix = QStringLiteral("xlsx");
            break;
        case kSylk:
            filter = QStringLiteral("Symbolic connection file (*.slk);;"), suffix = QStringLiteral("slk");
            break;
        case kTemplate: {
            suffix = QFileInfo(ReportFile).suffix();
            const QString ext = suffix.toLower();
            if (ext == QLatin1String("rtf")) filter = QStringLiteral("Rich text format (*.rtf);;");
            if (ext == QLatin1String("docx")) filter = QStringLiteral("MSWord document (*.docx);;");
            if (ext == QLatin1String("odt")) filter = QStringLiteral("Open document format (*.odt);;");
            break;
        }
        }
        file = AskSaveFile(this, filter + kAllFiles, suffix);
        if (file.isEmpty()) return;
    }
    try {
        run(file);
    } catch (const std::exception& e) {
        ShowException(QStringLiteral("Error: Cannot export data."), e);
    }
}

void TkDBExportForm::run(const QString& file) {
    const TActionAfter after = TActionAfter(cbAction_nostore->currentIndex());
    const bool visibleOnly = rbSelCol->isChecked();
    const bool selectedOnly = HasSelection && chSelRecOnly->isChecked();
    const TGridSource source = ExportSourceOf(OrigGr, DBGrid, true);
    switch (kind()) {
    case kText: {
        TXTExp.UseDisableControl = true;
        TXTExp.ExportFile = file;
        TXTExp.ExportFieldName = chFName1->isChecked();
        TXTExp.RealFieldNamesAsTitle = chFRealName1->isChecked();
        TXTExp.ExportStructureOnly = StructOnly;
        TXTExp.ExportOnlySelectedRows = selectedOnly;
        if (chCol1->isChecked()) {
            TXTExp.TextApostrophe.clear();
            TXTExp.FillChar = QLatin1Char(' ');
        } else {
            TXTExp.TextApostrophe = QStringLiteral("\"");
            TXTExp.FillChar = QChar(0);
        }
        SeparatorFromText(cbSeparator_nostore->currentText(), TXTExp.FieldSeparator);
        TXTExp.ExportOnlyVisibleFields = visibleOnly;
        TXTExp.AppendToFile = chAdd1->isChecked();
        TXTExp.ActionAfter = after;
        TXTExp.Execute(source);
        break;
    }
    case kExcel: {
        XLSExp.UseDisableControl = true;
        XLSExp.ExportFile = file;
        auto set = [this](TXLSExportOption o, bool on) {
            XLSExp.Options = on ? (XLSExp.Options | o) : (XLSExp.Options & ~unsigned(o));
        };
        set(xleExportTitles, chFName2->isChecked());
        set(xleRealFieldNamesAsTitle, chFRealName2->isChecked());
        set(xleAddSumRow, chSum2->isChecked());
        set(xleSetColumnWidth, chCol2->isChecked());
        set(xleSetCellBorders, chBorders2->isChecked());
        set(xleAddAsNewSheet, chAddSheet2->isChecked());
        set(xleAddToExistingRows, chAdd2->isChecked());
        set(xleFreezeTitles, chFreezePanes2->isChecked());
        set(xleOnlyVisibleFields, visibleOnly);
        set(xleOnlySelectedRows, selectedOnly);
        XLSExp.ExportStructureOnly = StructOnly;
        XLSExp.ActionAfter = after;
        XLSExp.setStartRow(1);
        XLSExp.setStartCol(1);
        // The cells look as the grid paints them.
        XLSExp.OptionColors |= xleUseCellsColor | xleSetBkColor | xleSetFontColor;
        TGridSource painted = source;
        painted.SetCellLooks(CellLooksOf(OrigGr));
        XLSExp.ExportDBTable(painted, true);
        break;
    }
    case kSylk:
        SLKExp.UseDisableControl = true;
        SLKExp.ExportFile = file;
        SLKExp.ExportFieldName = chFName2->isChecked();
        SLKExp.RealFieldNamesAsTitle = chFRealName2->isChecked();
        SLKExp.ExportStructureOnly = StructOnly;
        SLKExp.SetColWidth = chCol2->isChecked();
        SLKExp.MakeSumRow = chSum2->isChecked();
        SLKExp.ExportOnlyVisibleFields = visibleOnly;
        SLKExp.ExportOnlySelectedRows = selectedOnly;
        SLKExp.ActionAfter = after;
        SLKExp.Execute(source);
        break;
    case kTemplate: {
        const std::vector<TDataSet*> dataSets{OrigGr->dataSet()};
        if (IsXmlTemplate(ReportFile)) {
            XMLRep.OutputFile = file;
            XMLRep.ActionAfter = after;
            XMLRep.Execute(dataSets);
        } else {
            RTFRep.OutputFile = file;
            RTFRep.ActionAfter = after;
            RTFRep.DefaultCharset = eCharSet->value();
            RTFRep.Execute(dataSets);
        }
        break;
    }
    }
}

void ShowExportDialog(TkDBGrid* grid, bool filterAllowed, bool columnsAllowed, bool noTemplates,
                      bool structOnly) {
    if (!grid || !grid->DataSource() || !grid->dataSet() || !grid->dataSet()->Active()) return;
    TkDBExportForm form(grid, filterAllowed, columnsAllowed, noTemplates, structOnly, grid->window());
    form.exec();
}

void InstallExportActions(TkDBAction* module) {
    auto enabled = [module](const char* name) {
        QAction* a = module->action(QString::fromLatin1(name));
        return a && a->isEnabled();
    };
    module->setHandler(QStringLiteral("acoExport"), [=](TkDBGrid* g) {
        ShowExportDialog(g, enabled("acfFilter"), enabled("accColumns"), false, false);
    });
}
