// The property savers on real widgets and a real settings file (offscreen platform).
#include "program_folder.h"
#include "prop_save_file.h"
#include "prop_save_main.h"
#include "scripted_messages.h"
#include "test_util.h"
#include "vemo_comps_prop_save.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

// A colour box of a widget kit: a combo box with a colour.
class TestColorBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(QColor color MEMBER color)
public:
    using QComboBox::QComboBox;
    QColor color = Qt::black;
};

// A collapsible group box of a widget kit.
class TestGroupBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool minimized MEMBER minimized)
    Q_PROPERTY(int originSize MEMBER originSize)
public:
    using QWidget::QWidget;
    bool minimized = false;
    int originSize = 100;
};

template <class W> W* Add(QWidget* parent, const char* name) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// A window with one control of each kind; the program fills the lists, the savers the rest.
struct TestWindow {
    QWidget* w = new QWidget;
    TPropSaveMain* props;
    TestWindow(TPropSaveFile* store, const QStringList& components) {
        w->setObjectName("Main");
        Add<QPlainTextEdit>(w, "mNotes");
        auto* list = Add<QListWidget>(w, "chbFields");
        for (const char* t : {"a", "b", "c"}) {
            auto* item = new QListWidgetItem(t, list);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        auto* multi = Add<QListWidget>(w, "lbMulti");
        multi->setSelectionMode(QAbstractItemView::MultiSelection);
        multi->addItems({"x", "y", "z"});
        Add<QComboBox>(w, "cbHistory")->setEditable(true);
        Add<QComboBox>(w, "cbMode")->addItems({"one", "two", "three"});
        Add<QComboBox>(w, "cbUDL_nostore")->addItems({"Demo.udl", "Other.udl"});
        Add<QCheckBox>(w, "chAutoOpen")->setTristate(true);
        auto* group = Add<QButtonGroup>(w, "rgType");
        for (int i = 0; i < 3; ++i)
            group->addButton(new QRadioButton(w));
        Add<QRadioButton>(w, "rbViews");
        Add<QLineEdit>(w, "eTopRec");
        Add<QSpinBox>(w, "seCount")->setRange(0, 1000);
        Add<QAction>(w, "acoWrap")->setCheckable(true);
        Add<QTabBar>(w, "tabs")->addTab("1"), w->findChild<QTabBar*>("tabs")->addTab("2");
        auto* pages = Add<QTabWidget>(w, "pcPages");
        pages->addTab(new QWidget, "p1");
        auto* page2 = new QWidget;
        Add<QLineEdit>(page2, "eInside");
        pages->addTab(page2, "p2");
        Add<TestColorBox>(w, "cbColor");
        Add<QDateEdit>(w, "dtFrom")->setDate(QDate(2000, 1, 1));
        auto* frame = Add<QWidget>(w, "Toolbar");
        SetComponentOwner(frame);
        Add<QLineEdit>(frame, "Find");
        Add<QLabel>(w, "lInfo");
        w->setGeometry(100, 100, 400, 300);

        props = new TPropSaveMain(w);
        props->PropSaveFile = store;
        props->StdCtrl->Components = components;
    }
    template <class C> C* Get(const char* name) { return w->findChild<C*>(QString::fromLatin1(name)); }
};

const QStringList kAll = {"mNotes",     "chbFields", "lbMulti", "cbHistory", "cbMode",      "cbUDL_nostore",
                          "chAutoOpen", "rgType",    "rbViews", "eTopRec",   "seCount",     "acoWrap",
                          "tabs",       "pcPages.*", "cbColor", "dtFrom",    "Toolbar.Find"};

class PropSave : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StdCtrlAdapters().Register("TestColorBox", ColorBoxAdapter()); }
    void SetUp() override {
        saved_ = ProgramFolder();
        SetProgramFolder(dir_.path());
    }
    void TearDown() override { SetProgramFolder(saved_); }
    std::unique_ptr<TPropSaveFile> Store() {
        auto store = std::make_unique<TPropSaveFile>();
        store->FileName = "props.ini";
        store->Loaded();
        return store;
    }

    TempDir dir_;
    ScopedScriptedMessages messages_;

private:
    QString saved_;
};

TEST_F(PropSave, EveryKindOfControlRoundTripsThroughTheFile) {
    {
        auto store = Store();
        TestWindow t(store.get(), kAll);
        t.props->Loaded();
        t.Get<QPlainTextEdit>("mNotes")->setPlainText("line 1\n\tline 2\n");
        t.Get<QListWidget>("chbFields")->item(1)->setCheckState(Qt::Checked);
        t.Get<QListWidget>("chbFields")->setCurrentRow(2);
        t.Get<QListWidget>("lbMulti")->item(0)->setSelected(true);
        t.Get<QListWidget>("lbMulti")->item(2)->setSelected(true);
        t.Get<QComboBox>("cbHistory")->addItems({"old", "older"});
        t.Get<QComboBox>("cbHistory")->setEditText("typed");
        t.Get<QComboBox>("cbMode")->setCurrentIndex(2);
        t.Get<QComboBox>("cbUDL_nostore")->setCurrentIndex(1);
        t.Get<QCheckBox>("chAutoOpen")->setCheckState(Qt::PartiallyChecked);
        t.Get<QButtonGroup>("rgType")->buttons()[1]->setChecked(true);
        t.Get<QRadioButton>("rbViews")->setChecked(true);
        t.Get<QLineEdit>("eTopRec")->setText("25");
        t.Get<QSpinBox>("seCount")->setValue(77);
        t.Get<QAction>("acoWrap")->setChecked(true);
        t.Get<QTabBar>("tabs")->setCurrentIndex(1);
        t.Get<QTabWidget>("pcPages")->setCurrentIndex(1);
        t.Get<QLineEdit>("eInside")->setText("inside");
        t.Get<TestColorBox>("cbColor")->color = QColor(1, 2, 3);
        t.Get<QDateEdit>("dtFrom")->setDate(QDate(2024, 5, 6));
        t.Get<QLineEdit>("Find")->setText("needle");
        delete t.w; // saved while its controls still exist
    }
    auto store = Store();
    EXPECT_EQ(store->ReadString("Main.cbMode", "ItemIndex"), "2");
    EXPECT_EQ(store->ReadString("Main.chAutoOpen", "State"), "2");
    EXPECT_EQ(store->ReadString("Main.cbColor", "Color"), QString::number(0x030201));
    EXPECT_EQ(store->ReadString("Main.Toolbar.Find", "Text"), "needle");
    EXPECT_EQ(store->ReadString("Main.pcPages", "ItemIndex"), "1");
    EXPECT_EQ(store->Content().ReadSection("Main.cbUDL_nostore"), QStringList({"Text"}));

    TestWindow t(store.get(), kAll);
    t.Get<QComboBox>("cbUDL_nostore")->clear(); // the program lists other files this time
    t.Get<QComboBox>("cbUDL_nostore")->addItems({"New.udl", "Other.udl", "Demo.udl"});
    t.props->Loaded();
    EXPECT_EQ(t.Get<QPlainTextEdit>("mNotes")->toPlainText(), "line 1\n\tline 2\n");
    EXPECT_EQ(t.Get<QListWidget>("chbFields")->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(t.Get<QListWidget>("chbFields")->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(t.Get<QListWidget>("chbFields")->currentRow(), 2);
    auto* multi = t.Get<QListWidget>("lbMulti");
    EXPECT_TRUE(multi->item(0)->isSelected() && !multi->item(1)->isSelected() &&
                multi->item(2)->isSelected());
    auto* history = t.Get<QComboBox>("cbHistory");
    EXPECT_EQ(history->count(), 2);
    EXPECT_EQ(history->currentText(), "typed");
    EXPECT_EQ(t.Get<QComboBox>("cbMode")->currentIndex(), 2);
    EXPECT_EQ(t.Get<QComboBox>("cbUDL_nostore")->currentText(), "Other.udl");
    EXPECT_EQ(t.Get<QComboBox>("cbUDL_nostore")->count(), 3);
    EXPECT_EQ(t.Get<QCheckBox>("chAutoOpen")->checkState(), Qt::PartiallyChecked);
    EXPECT_TRUE(t.Get<QButtonGroup>("rgType")->buttons()[1]->isChecked());
    EXPECT_TRUE(t.Get<QRadioButton>("rbViews")->isChecked());
    EXPECT_EQ(t.Get<QLineEdit>("eTopRec")->text(), "25");
    EXPECT_EQ(t.Get<QSpinBox>("seCount")->value(), 77);
    EXPECT_TRUE(t.Get<QAction>("acoWrap")->isChecked());
    EXPECT_EQ(t.Get<QTabBar>("tabs")->currentIndex(), 1);
    EXPECT_EQ(t.Get<QTabWidget>("pcPages")->currentIndex(), 1);
    EXPECT_EQ(t.Get<QLineEdit>("eInside")->text(), "inside");
    EXPECT_EQ(t.Get<TestColorBox>("cbColor")->color, QColor(1, 2, 3));
    EXPECT_EQ(t.Get<QDateEdit>("dtFrom")->date(), QDate(2024, 5, 6));
    EXPECT_EQ(t.Get<QLineEdit>("Find")->text(), "needle");
    EXPECT_EQ(t.w->geometry(), QRect(100, 100, 400, 300));
    t.props->PropSaveEvents = pseNone;
    store->DisableAll = true;
    delete t.w;
    EXPECT_TRUE(messages_.shown.empty()) << messages_.log().join("\n").toStdString();
}

TEST_F(PropSave, FirstRunKeepsDesignedValuesAndStaleIndexesAreIgnored) {
    auto store = Store();
    store->WriteInteger("Main.cbMode", "ItemIndex", 9); // the list got shorter since
    TestWindow t(store.get(), kAll);
    t.Get<QLineEdit>("eTopRec")->setText("10");
    t.Get<QComboBox>("cbMode")->setCurrentIndex(1);
    t.props->ReadProperties();
    EXPECT_EQ(t.Get<QLineEdit>("eTopRec")->text(), "10");
    EXPECT_EQ(t.Get<QComboBox>("cbMode")->currentIndex(), 1);
    EXPECT_EQ(t.Get<QListWidget>("chbFields")->count(), 3);
    store->DisableAll = true;
    delete t.w;
}

TEST_F(PropSave, MaximizedWindowKeepsNormalBoundsAndOpensMaximized) {
    {
        auto store = Store();
        TestWindow t(store.get(), {});
        t.props->Loaded();
        t.w->setGeometry(50, 60, 300, 200);
        t.props->SaveProperties(); // normal bounds on record
        t.w->showMaximized();
        delete t.w;
        EXPECT_EQ(store->ReadInteger("Main_XY", "WinMinMax", -1), 2);
        EXPECT_EQ(store->ReadInteger("Main_XY", "Left", 0), 50);
        EXPECT_EQ(store->ReadInteger("Main_XY", "Right", 0), 350);
    }
    auto store = Store();
    TestWindow t(store.get(), {});
    t.props->Loaded();
    EXPECT_TRUE(t.w->windowState() & Qt::WindowMaximized);
    t.w->show();
    EXPECT_EQ(t.w->normalGeometry(), QRect(50, 60, 300, 200));
    store->DisableAll = true;
    delete t.w;
}

TEST_F(PropSave, StoredBoundsAreLimitedToTheDesktop) {
    const QRect desk = DesktopRect();
    auto store = Store();
    store->SetStrings({"[Main_XY]", QStringLiteral("Left=%1").arg(desk.right() - 100),
                       QStringLiteral("Right=%1").arg(desk.right() + 200), "Top=-50", "Bottom=-40"});
    TestWindow t(store.get(), {});
    t.props->ReadProperties();
    const TBounds b = TBounds::FromRect(t.w->geometry());
    EXPECT_EQ(b.Right, desk.x() + desk.width()); // moved back inside
    EXPECT_EQ(b.Right - b.Left, 300);
    EXPECT_EQ(b.Top, desk.y());
    EXPECT_EQ(b.Bottom - b.Top, 120); // grown to the minimum of a window
    store->DisableAll = true;
    delete t.w;
}

TEST(LimitBoundsRule, Table) {
    const TLimitRect limit{{0, 0, 1000, 800}, 30};
    struct Case {
        TBounds in, out;
    } cases[] = {
        {{10, 10, 200, 100}, {10, 10, 200, 100}},       // inside
        {{900, 700, 1100, 900}, {800, 600, 1000, 800}}, // past right and bottom: moved back
        {{-50, -20, 100, 50}, {0, 0, 100, 50}},         // past left and top: cut
        {{-10, 0, 1200, 100}, {0, 0, 1000, 100}},       // wider than the limit
        {{100, 100, 110, 105}, {100, 100, 130, 130}},   // grown to the minimum
        {{500, 500, 400, 400}, {500, 500, 530, 530}},   // inverted
    };
    for (const Case& c : cases) {
        const TBounds got = LimitBounds(c.in, limit);
        EXPECT_EQ(got, c.out) << c.in.Left << "," << c.in.Top << "," << c.in.Right << "," << c.in.Bottom
                              << " -> " << got.Left << "," << got.Top << "," << got.Right << ","
                              << got.Bottom;
    }
}

TEST_F(PropSave, FixedSizeWindowKeepsItsSize) {
    auto store = Store();
    store->SetStrings({"[Main_XY]", "Left=10", "Top=20", "Right=500", "Bottom=400"});
    TestWindow t(store.get(), {});
    t.w->setFixedSize(400, 300);
    t.props->ReadProperties();
    EXPECT_EQ(t.w->geometry(), QRect(10, 20, 400, 300));
    store->DisableAll = true;
    delete t.w;
}

TEST_F(PropSave, DisabledComponentIsDeletedInsteadOfSaved) {
    auto store = Store();
    store->WriteString("Main.eTopRec", "Text", "old");
    store->WriteString("Main.eTopRec", "Stale", "x");
    TestWindow t(store.get(), {"eTopRec", "cbMode"});
    t.Get<QLineEdit>("eTopRec")->setText("new");
    t.props->StdCtrl->DisableComponents = {"ETOPREC"};
    t.props->SaveProperties();
    EXPECT_FALSE(store->ValueExists("Main.eTopRec", "Text"));
    EXPECT_FALSE(store->ValueExists("Main.eTopRec", "Stale"));
    EXPECT_TRUE(store->ValueExists("Main.cbMode", "ItemIndex"));
    EXPECT_TRUE(t.props->FormIsSaved());
    t.props->DeleteProperties();
    EXPECT_FALSE(store->ValueExists("Main_XY", "WinMinMax"));
    store->DisableAll = true;
    EXPECT_FALSE(t.props->FormIsSaved());
    delete t.w;
}

TEST_F(PropSave, SetUpErrorsAreReported) {
    auto store = Store();
    struct Case {
        QStringList components;
        QString message;
    } cases[] = {
        {{"eMissing"}, "CustomPropSave: component \"eMissing\" not found."},
        {{"lInfo"}, "CustomPropSave: cannot save component \"lInfo\"."},
        {{"Toolbar.Nothing"}, "CustomPropSave: component \"Toolbar.Nothing\" not found."},
    };
    for (const Case& c : cases) {
        TestWindow t(store.get(), c.components);
        try {
            t.props->SaveProperties();
            ADD_FAILURE() << "no error for " << c.message.toStdString();
        } catch (const EAssertionFailed& e) {
            EXPECT_EQ(e.Message, c.message);
        }
        t.props->PropSaveEvents = pseNone;
        delete t.w;
    }
    // Whole-window entries pass over what they cannot save; a missing ".*" entry is no error.
    TestWindow t(store.get(), {"Main.*", "gone.*"});
    t.Get<QLineEdit>("Find")->setText("in frame");
    t.props->SaveProperties();
    EXPECT_EQ(store->ReadString("Main.Toolbar.Find", "Text"), "in frame");
    EXPECT_TRUE(store->SectionExists("Main.eInside"));
    EXPECT_FALSE(store->SectionExists("Main.lInfo"));
    store->DisableAll = true;
    delete t.w;
}

TEST_F(PropSave, ShowHideEventsReadAndSave) {
    auto store = Store();
    store->WriteString("Dlg.eTopRec", "Text", "stored");
    TestWindow t(store.get(), {"eTopRec"});
    t.props->FormKey = "Dlg";
    t.props->PropSaveEvents = pseFormShowHide;
    t.props->Loaded();
    EXPECT_EQ(t.Get<QLineEdit>("eTopRec")->text(), "");
    t.w->show();
    EXPECT_EQ(t.Get<QLineEdit>("eTopRec")->text(), "stored");
    t.Get<QLineEdit>("eTopRec")->setText("edited");
    t.w->hide();
    EXPECT_EQ(store->ReadString("Dlg.eTopRec", "Text"), "edited");
    store->DisableAll = true;
    delete t.w;
}

TEST_F(PropSave, KeysFromEventAndFurtherSaversRun) {
    auto store = Store();
    TestWindow t(store.get(), {"eTopRec"});
    t.props->StdCtrl->OnGetKeyString = [](QObject* c, QString& key) { key += ".Custom." + c->objectName(); };
    auto* extra = new TStdCtrlPropSave(t.w);
    extra->Components = {"cbMode"};
    extra->SetPropSaveMain(t.props);
    QStringList calls;
    t.props->OnSaveProperties = [&](TPropSaveFile*, const QString& key) { calls << "saved " + key; };
    extra->OnProcComponents = [&](TCustomPropSave*, TPropSaveAction a) { calls << QString::number(a); };
    t.props->SaveProperties();
    EXPECT_TRUE(store->SectionExists("Main.Custom.eTopRec"));
    EXPECT_TRUE(store->SectionExists("Main.cbMode"));
    EXPECT_EQ(calls, QStringList({"1", "saved Main"}));
    store->DisableAll = true;
    t.props->PropSaveEvents = pseNone;
    delete t.w;
}

TEST_F(PropSave, KitControlsThroughTheirOwnSaver) {
    VemoCompAdapters().Register("TestGroupBox", CollapsibleGroupBoxAdapter());
    auto store = Store();
    for (bool storeVisibility : {true, false}) {
        TestWindow t(store.get(), {});
        auto* box = Add<TestGroupBox>(t.w, "gbOptions");
        auto* saver = new TVemoCompsPropSave(t.w);
        saver->Components = {"gbOptions"};
        saver->StoreVisibility = storeVisibility;
        saver->SetPropSaveMain(t.props);
        box->minimized = true;
        box->originSize = 240;
        box->hide();
        t.props->SaveProperties();
        EXPECT_EQ(store->Content().ReadSection("Main.gbOptions"),
                  storeVisibility ? QStringList({"Visible", "Minimized", "OriginSize"})
                                  : QStringList({"Minimized", "OriginSize"}));
        box->minimized = false;
        box->originSize = 0;
        box->show();
        t.props->ReadProperties();
        EXPECT_TRUE(box->minimized);
        EXPECT_EQ(box->originSize, 240);
        EXPECT_EQ(box->isHidden(), storeVisibility);
        t.props->PropSaveEvents = pseNone;
        delete t.w;
    }
    store->DisableAll = true;
}

} // namespace

#include "prop_save_test.moc"
