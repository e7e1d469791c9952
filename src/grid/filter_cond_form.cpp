#include "filter_cond_form.h"

#include "column_filter.h"
#include "comp_config.h"
#include "db_grid.h"
#include "filter_text.h"
#include "period_menu.h"
#include "prop_save_file.h"
#include "sql_names.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
struct Oper {
    const char* caption;
    const char* op; // empty: a range or a pattern
};
const Oper kNumberOpers[] = {
    {"is equal", "="},   {"is not equal", "<>"},        {"is greater", ">"}, {"is greater or equal", ">="},
    {"is smaller", "<"}, {"is smaller or equal", "<="}, {"is between", ""}};
const Oper kTextOpers[] = {{"is equal", "="}, {"is not equal", "<>"}, {"begin ", ""}, {"contain", ""}};
const Oper kDateOpers[] = {{"is equal", "="}, {"before", "<"}, {"after", ">"}, {"period", ""}};

template <size_t N> const Oper* operAt(const Oper (&list)[N], int i) {
    return i >= 0 && size_t(i) < N ? &list[i] : nullptr;
}

bool isDateField(const TField& f) {
    return f.DataType == ftDate || f.DataType == ftDateTime || f.DataType == ftTimeStamp;
}
} // namespace

TkDBGridFilterCondForm::TkDBGridFilterCondForm(TkDBGrid* grid, const TField* field, bool multi,
                                               const QStringList& values, QWidget* parent)
    : TkDBDlgBaseForm(QStringLiteral("kDBGridFilterCondForm"), parent), grid_(grid), field_(field),
      multi_(multi), page_(IsNumericField(*field) ? pgNumbers
                           : isDateField(*field)  ? pgDates
                                                  : pgText) {
    setWindowTitle(field->DisplayLabel());
    cbOper = new QComboBox;
    cbOper->setObjectName(QStringLiteral("cbOper"));
    pages = new QStackedWidget;

    auto* numPage = new QWidget;
    auto* nl = new QHBoxLayout(numPage);
    nl->setContentsMargins(0, 0, 0, 0);
    eNumber = new QLineEdit;
    eNumberTo = new QLineEdit;
    lblAnd = new QLabel(QStringLiteral("and"));
    nl->addWidget(eNumber, 1);
    nl->addWidget(lblAnd);
    nl->addWidget(eNumberTo, 1);

    auto* textPage = new QWidget;
    auto* tl = new QHBoxLayout(textPage);
    tl->setContentsMargins(0, 0, 0, 0);
    eText = new QComboBox;
    eText->setEditable(true);
    eText->setInsertPolicy(QComboBox::NoInsert);
    eText->addItems(values);
    eText->setCurrentText(QString());
    tl->addWidget(eText, 1);

    auto* datePage = new QWidget;
    auto* dl = new QHBoxLayout(datePage);
    dl->setContentsMargins(0, 0, 0, 0);
    eDate = new QDateEdit(QDate::currentDate());
    eDateTo = new QDateEdit(QDate::currentDate());
    for (QDateEdit* e : {eDate, eDateTo})
        e->setCalendarPopup(true);
    btPeriod = new QToolButton;
    btPeriod->setText(QStringLiteral("Set period"));
    btPeriod->setPopupMode(QToolButton::InstantPopup);
    auto* periodMenu = new QMenu(btPeriod);
    FillPeriodMenu(periodMenu, [this](const QString& item) { setPeriod(item); });
    btPeriod->setMenu(periodMenu);
    dl->addWidget(eDate, 1);
    dl->addWidget(eDateTo, 1);
    dl->addWidget(btPeriod);

    pages->addWidget(numPage);
    pages->addWidget(textPage);
    pages->addWidget(datePage);
    pages->setCurrentIndex(page_);
    auto addOpers = [this](const auto& list) {
        for (const Oper& o : list)
            cbOper->addItem(QString::fromLatin1(o.caption));
    };
    if (page_ == pgNumbers) addOpers(kNumberOpers);
    if (page_ == pgText) addOpers(kTextOpers);
    if (page_ == pgDates) addOpers(kDateOpers);

    btOk = new QPushButton(QStringLiteral("Ok"));
    btOk->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    auto* l = new QVBoxLayout(this);
    l->addWidget(new QLabel(QStringLiteral("Type of comparison:")));
    l->addWidget(cbOper);
    l->addWidget(pages);
    l->addStretch();
    l->addLayout(buttons);

    restore();
    operChanged();
    connect(cbOper, &QComboBox::currentIndexChanged, this, [this] { operChanged(); });
    auto refresh = [this] { btOk->setEnabled(!condition().isEmpty()); };
    connect(eNumber, &QLineEdit::textChanged, this, refresh);
    connect(eNumberTo, &QLineEdit::textChanged, this, refresh);
    connect(eText, &QComboBox::currentTextChanged, this, refresh);
    connect(btOk, &QPushButton::clicked, this, [this] {
        if (ok()) accept();
    });
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    LoadPosition();
}

TkDBGridFilterCondForm::~TkDBGridFilterCondForm() = default;

void TkDBGridFilterCondForm::operChanged() {
    const int i = cbOper->currentIndex();
    const bool range = (page_ == pgNumbers && i == 6) || (page_ == pgDates && i == 3);
    lblAnd->setVisible(range);
    eNumberTo->setVisible(range);
    eDateTo->setVisible(range);
    btPeriod->setVisible(range);
    btOk->setEnabled(!condition().isEmpty());
}

void TkDBGridFilterCondForm::setPeriod(const QString& item) {
    QDate from, to;
    if (!PeriodDates(item, QDate::currentDate(), from, to)) return;
    eDate->setDate(from);
    eDateTo->setDate(to);
}

QString TkDBGridFilterCondForm::condition() const {
    const int i = cbOper->currentIndex();
    const QString name = QuoteFieldName(field_->FieldName);
    switch (page_) {
    case pgNumbers: {
        const Oper* o = operAt(kNumberOpers, i);
        double a, b;
        if (!o || !ReadFilterNumber(eNumber->text().trimmed(), a)) return QString();
        if (*o->op) return BuildCondition(field_, FilterFloatText(a), false, QLatin1String(o->op));
        if (!ReadFilterNumber(eNumberTo->text().trimmed(), b)) return QString();
        return BuildRangeCondition(name, FilterFloatText(a), FilterFloatText(b), QString());
    }
    case pgText: {
        const Oper* o = operAt(kTextOpers, i);
        const QString v = eText->currentText();
        if (!o) return QString();
        if (*o->op) return BuildCondition(field_, v, false, QLatin1String(o->op));
        if (v.isEmpty()) return QString();
        const QChar like = GridLikeChar(grid_);
        return BuildCondition(field_, (i == 3 ? QString(like) : QString()) + v + like, false,
                              GridLikeOperator(grid_));
    }
    case pgDates: {
        const Oper* o = operAt(kDateOpers, i);
        if (!o) return QString();
        const QDate a = eDate->date(), b = eDateTo->date();
        // A date column compares its days directly; times within a day belong to that day.
        if (field_->DataType == ftDate) {
            if (*o->op) return BuildCondition(field_, FilterDateText(a), false, QLatin1String(o->op));
            return BuildRangeCondition(name, FilterDateText(a), FilterDateText(b), QStringLiteral("'"));
        }
        if (!*o->op) return DatePeriodCondition(field_, a, b, QString());
        return DatePeriodCondition(field_, a, a, i == 0 ? QString() : QLatin1String(o->op));
    }
    }
    return QString();
}

bool TkDBGridFilterCondForm::ok() {
    const QString c = condition();
    if (c.isEmpty()) return false;
    if (!SetColumnFilter(grid_, field_, c, true, multi_, this)) return false;
    store();
    return true;
}

QString TkDBGridFilterCondForm::section() const {
    return objectName() + QLatin1Char('.') + field_->FieldName;
}

void TkDBGridFilterCondForm::restore() {
    TPropSaveFile* s = VemoCompConfig().Global_PropSaveFile;
    if (!s || VemoCompConfig().DontStoreFieldDependentSettings) return;
    const QString sec = section();
    cbOper->setCurrentIndex(
        std::clamp(s->ReadInteger(sec, QStringLiteral("Oper"), 0), 0, cbOper->count() - 1));
    const QString value = s->ReadString(sec, QStringLiteral("Value"));
    eNumber->setText(page_ == pgNumbers ? value : QString());
    eText->setCurrentText(page_ == pgText ? value : QString());
    eNumberTo->setText(s->ReadString(sec, QStringLiteral("ValueTo")));
    const QDate today = QDate::currentDate();
    eDate->setDate(s->ReadDateTime(sec, QStringLiteral("Date"), today.startOfDay()).date());
    eDateTo->setDate(s->ReadDateTime(sec, QStringLiteral("DateTo"), today.startOfDay()).date());
}

void TkDBGridFilterCondForm::store() const {
    TPropSaveFile* s = VemoCompConfig().Global_PropSaveFile;
    if (!s || VemoCompConfig().DontStoreFieldDependentSettings) return;
    const QString sec = section();
    s->WriteInteger(sec, QStringLiteral("Oper"), cbOper->currentIndex());
    s->WriteString(sec, QStringLiteral("Value"), page_ == pgNumbers ? eNumber->text() : eText->currentText());
    s->WriteString(sec, QStringLiteral("ValueTo"), eNumberTo->text());
    s->WriteDateTime(sec, QStringLiteral("Date"), eDate->date().startOfDay());
    s->WriteDateTime(sec, QStringLiteral("DateTo"), eDateTo->date().startOfDay());
}

bool ShowFilterCondForm(TkDBGrid* grid, const TField* field, bool multi, const QStringList& values) {
    if (!grid || !field || !grid->dataSet() || !grid->dataSet()->Active()) return false;
    TkDBGridFilterCondForm form(grid, field, multi, values, grid->window());
    return form.exec() == QDialog::Accepted;
}
