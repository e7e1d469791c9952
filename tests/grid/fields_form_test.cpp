// The column dialog on a grid and on a dataset: visibility and order act at once, the panel's
// properties on "Use", pending changes asked about, the command through the action module.
#include "dialog_actions.h"
#include "fields_form.h"
#include "grid_action_fixture.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

namespace {
class FieldsFormTest : public GridActionTest {
protected:
    QStringList entries(const TkDBFieldsForm& form) {
        QStringList out;
        for (int i = 0; i < form.lbLabels->count(); ++i)
            out << form.lbLabels->item(i)->text();
        return out;
    }
    // Field names of the grid's columns in the order shown.
    QStringList shownOrder() {
        QStringList out;
        for (int v = 0; v < grid.model()->columnCount(); ++v)
            out << grid.fieldOfColumn(grid.horizontalHeader()->logicalIndex(v))->FieldName;
        return out;
    }
};

TEST_F(FieldsFormTest, VisibilityAndOrderActAtOnce) {
    setCurrent(0, 3);
    {
        TkDBFieldsForm form(&grid, nullptr);
        EXPECT_EQ(entries(form), (QStringList{"id", "name", "note", "qty", "born"}));
        EXPECT_EQ(form.lbLabels->currentRow(), 3); // the grid's current column
        form.lbLabels->item(1)->setCheckState(Qt::Unchecked);
        EXPECT_TRUE(grid.isColumnHidden(1));
        form.btAll->click();
        for (int c = 0; c < 5; ++c)
            EXPECT_FALSE(grid.isColumnHidden(c));
        form.btAll->click();
        for (int c = 0; c < 5; ++c)
            EXPECT_TRUE(grid.isColumnHidden(c));
        form.btAll->click();
        form.lbLabels->item(2)->setCheckState(Qt::Unchecked);
        form.moveEntry(3, 0); // "qty" first
        EXPECT_EQ(shownOrder(), (QStringList{"qty", "id", "name", "note", "born"}));
        form.btDown->click();
        EXPECT_EQ(shownOrder(), (QStringList{"id", "qty", "name", "note", "born"}));
        form.btUp->click();
        form.btUp->click(); // at the top: nothing
        // A drag moves the list first; the column follows.
        form.lbLabels->model()->moveRow(QModelIndex(), 4, QModelIndex(), 1);
        EXPECT_EQ(entries(form), (QStringList{"qty", "born", "id", "name", "note"}));
        EXPECT_EQ(shownOrder(), entries(form));
        form.btClose->click();
    }
    // Closing keeps what was changed.
    EXPECT_TRUE(grid.isColumnHidden(2));
    EXPECT_EQ(shownOrder(), (QStringList{"qty", "born", "id", "name", "note"}));
}

TEST_F(FieldsFormTest, PanelAppliesOnUseAndAsksAboutPendingChanges) {
    setCurrent(0, 1);
    TkDBFieldsForm form(&grid, nullptr);
    EXPECT_FALSE(form.cbFormat->isEnabled()); // a text field
    EXPECT_FALSE(form.btApply->isEnabled());
    EXPECT_EQ(form.gb->title(), " name: ");
    form.eCaption->setText("Name");
    emit form.eCaption->textEdited("Name");
    form.rgAlign[1]->setChecked(true);
    form.cbColor->setCurrentText("yellow");
    EXPECT_TRUE(form.btApply->isEnabled());
    // Cancel keeps the entry and the pending change; No drops it; Yes applies it.
    messages.answers = {MsgAnswer::Cancel};
    form.lbLabels->setCurrentRow(3);
    EXPECT_EQ(form.lbLabels->currentRow(), 1);
    EXPECT_EQ(form.eCaption->text(), "Name");
    EXPECT_EQ(messages.log(), QStringList{"question: Use changes?"});
    messages.answers = {MsgAnswer::Yes};
    form.lbLabels->setCurrentRow(3);
    EXPECT_EQ(form.lbLabels->currentRow(), 3);
    EXPECT_EQ(grid.GetTitleText(1), "Name");
    EXPECT_EQ(q.FieldByName("name")->Alignment, Qt::AlignRight);
    EXPECT_EQ(grid.columnLook(1).color, QColor("yellow"));
    EXPECT_EQ(form.lbLabels->item(1)->text(), "Name");
    // qty: a numeric field takes a display format and a width.
    EXPECT_TRUE(form.cbFormat->isEnabled());
    form.cbFormat->setCurrentText("#,##0.00");
    form.enWidth->setValue(12);
    form.btApply->click();
    EXPECT_EQ(q.FieldByName("qty")->DisplayFormat, "#,##0.00");
    EXPECT_EQ(q.FieldByName("qty")->DisplayWidth(), 12);
    EXPECT_EQ(grid.GetCellValue(3, 0), "5.00");
    form.eCaption->setText("Q");
    emit form.eCaption->textEdited("Q");
    messages.answers = {MsgAnswer::No};
    form.lbLabels->setCurrentRow(0);
    EXPECT_EQ(grid.GetTitleText(3), "qty");
    // The reset asks first and puts the grid's own look back.
    messages.answers = {MsgAnswer::Yes};
    form.btDefault->click();
    EXPECT_FALSE(grid.columnLook(1).color.isValid());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(FieldsFormTest, DatasetSource) {
    TkDBFieldsForm form(nullptr, &q);
    EXPECT_FALSE(form.cbColor->isEnabled());
    EXPECT_FALSE(form.btFont->isEnabled());
    EXPECT_FALSE(form.btDefault->isEnabled());
    EXPECT_EQ(form.lbLabels->currentRow(), 0);
    form.lbLabels->item(2)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(q.FieldByName("note")->Visible);
    form.moveEntry(4, 0);
    EXPECT_EQ(q.Fields(0)->FieldName, "born");
    EXPECT_TRUE(form.cbFormat->isEnabled()); // a date field
    form.eCaption->setText("Born on");
    emit form.eCaption->textEdited("Born on");
    form.btApply->click();
    EXPECT_EQ(q.FieldByName("born")->DisplayLabel(), "Born on");
}

TEST_F(FieldsFormTest, ColumnsCommandOpensTheWindow) {
    InstallGridDialogActions(&actions);
    actions.RefreshAction();
    ASSERT_TRUE(act("accColumns")->isEnabled());
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TkDBFieldsForm*>(QApplication::activeModalWidget());
        ASSERT_TRUE(form);
        opened = true;
        form->lbLabels->item(0)->setCheckState(Qt::Unchecked);
        form->btClose->click();
    });
    run("accColumns");
    EXPECT_TRUE(opened);
    EXPECT_TRUE(grid.isColumnHidden(0));
}
} // namespace
