// The label widgets and the cell renderer under the offscreen platform: drawing way, parameters,
// mouse and links, what reaches the shell, and the colours that end up in the rendered pixels.
#include "html_cell_renderer.h"
#include "html_label.h"
#include "html_link_open.h"
#include "html_url_label.h"
#include "program_folder.h"
#include "qt_messages.h"
#include "scripted_messages.h"
#include "shell.h"
#include "test_util.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Records what would have been opened; nothing is started.
class ShellRecorder {
public:
    ShellRecorder() {
        SetShellHandler([this](ShellVerb verb, const QString& path) {
            opened << (verb == ShellVerb::Open ? "open " : "print ") + path;
            return true;
        });
    }
    ~ShellRecorder() { SetShellHandler(nullptr); }
    QStringList opened;
};

// Points the program folder at a temporary folder for relative link targets.
class ProgramFolderScope {
public:
    explicit ProgramFolderScope(const QString& folder) : old_(ProgramFolder()) { SetProgramFolder(folder); }
    ~ProgramFolderScope() { SetProgramFolder(old_); }

private:
    QString old_;
};

void mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::NoButton) {
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void click(QWidget* w, QPoint pos) {
    mouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton);
    mouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton);
}

QImage render(QWidget& w) {
    QImage img(w.size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    w.render(&img);
    return img;
}

// Pixels where one channel clearly dominates ("r", "g" or "b").
int tinted(const QImage& img, char channel) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            const int v = channel == 'r' ? c.red() : channel == 'g' ? c.green() : c.blue();
            const int o1 = channel == 'r' ? c.green() : c.red();
            const int o2 = channel == 'b' ? c.green() : c.blue();
            if (v > 150 && o1 < 90 && o2 < 90) ++n;
        }
    }
    return n;
}

TkHTMLLabel* makeLabel(QWidget& host, const QString& text, int width = 300, int height = 60) {
    auto* l = new TkHTMLLabel(&host);
    l->setAutoSize(false);
    l->setCaptionStrings(text);
    l->setGeometry(0, 0, width, height);
    QFont f = l->font();
    f.setPointSize(14);
    l->setFont(f);
    return l;
}

struct WayCase {
    QString text;
    bool simple;
    bool fontColor;
    bool text3D;
    bool markup;
};

TEST(HtmlLabel, ChoosesMarkupOrPlainDrawing) {
    const WayCase cases[] = {
        {"<B>x</B>", false, false, false, true},
        {"<B>x</B>", true, false, false, false},
        {"plain", false, false, false, false},
        {"plain", false, true, false, true},
        {"plain", false, false, true, true},
        {"", false, true, true, false},
        {"a <VAR>b</VAR>", false, false, false, false},
    };
    for (const WayCase& c : cases) {
        TkHTMLLabel l;
        l.setCaptionStrings(c.text);
        l.setCaptionSimpleText(c.simple);
        if (c.fontColor) l.setFontColor(Qt::red);
        l.setShowText3D(c.text3D);
        EXPECT_EQ(l.UsesMarkup(), c.markup) << c.text.toStdString() << c.simple << c.fontColor << c.text3D;
    }
}

TEST(HtmlLabel, SimpleTextShowsTheTags) {
    QWidget host;
    TkHTMLLabel* l = makeLabel(host, "<B>bold</B>");
    l->setCaptionSimpleText(true);
    EXPECT_EQ(l->PreparedText(), "<B>bold</B>");
    EXPECT_TRUE(l->Anchors().empty());
    render(*l); // draws the plain way without complaint
}

TEST(HtmlLabel, ParametersFromTheHandlerOrDesignTime) {
    TkHTMLLabel l;
    l.setText("Hello <VAR>User</VAR>.");
    EXPECT_EQ(l.PreparedText(), "Hello .");

    TkHTMLLabel* sender = nullptr;
    l.OnGetParameter = [&](TkHTMLLabel* s, QString& p) {
        sender = s;
        if (p == "User") p = "Ann";
    };
    EXPECT_EQ(l.PreparedText(), "Hello Ann.");
    EXPECT_EQ(sender, &l);

    l.setDesigning(true);
    EXPECT_EQ(l.PreparedText(), "Hello [User].");
}

TEST(HtmlLabel, CaptionStringsWinOverTheCaptionAndClearIt) {
    TkHTMLLabel l("caption");
    l.setCaptionStrings(QStringList({"one", "two"}));
    EXPECT_EQ(l.text(), "");
    EXPECT_EQ(l.PreparedText(), "one\rtwo");
    l.setCaptionStrings(QStringList({"  "}));
    l.setText("again");
    EXPECT_EQ(l.PreparedText(), "again");
}

TEST(HtmlLabel, MouseOverLinkShowsHandAndHotLinkThenClickReportsName) {
    QWidget host;
    TkHTMLLabel* l = makeLabel(host, "<A NAME=Del>Delete</A> history");
    l->setCursor(Qt::IBeamCursor);
    QStringList names;
    l->OnAnchorClick = [&](TkHTMLLabel* s, const QString& name) {
        EXPECT_EQ(s, l);
        names << name;
    };
    int clicks = 0;
    QObject::connect(l, &TkHTMLLabel::clicked, [&] { ++clicks; });

    ASSERT_EQ(l->Anchors().size(), 1u);
    const QRect link = l->Anchors()[0].Rect;
    EXPECT_EQ(l->Anchors()[0].LinkType, "NAME");

    mouse(l, QEvent::MouseMove, link.center());
    EXPECT_EQ(l->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(l->HotAnchor(), 0);
    mouse(l, QEvent::MouseMove, QPoint(link.right() + 40, link.center().y()));
    EXPECT_EQ(l->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(l->HotAnchor(), -1);

    mouse(l, QEvent::MouseMove, link.center());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(l, &leave);
    EXPECT_EQ(l->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(l->HotAnchor(), -1);

    click(l, link.center());
    EXPECT_EQ(names, QStringList({"Del"}));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(l->cursor().shape(), Qt::IBeamCursor);

    click(l, QPoint(link.right() + 40, link.center().y()));
    EXPECT_EQ(names.size(), 1);
    EXPECT_EQ(clicks, 2);
}

TEST(HtmlLabel, LinkWithoutEqualsReportsWholeParameterAndHrefGoesToTheShell) {
    TempDir dir;
    ProgramFolderScope folder(dir.path());
    QFile f(dir.path("readme.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("hello");
    f.close();

    ShellRecorder shell;
    ScopedScriptedMessages msgs;
    QWidget host;
    TkHTMLLabel* l =
        makeLabel(host, "<A HREF=readme.txt>Read</A> <A  go on >Go</A> <A HREF=run:me>Run</A>", 400);
    QStringList names;
    l->OnAnchorClick = [&](TkHTMLLabel*, const QString& name) { names << name; };
    const std::vector<TAnchorInfo> anchors = l->Anchors();
    ASSERT_EQ(anchors.size(), 3u);

    click(l, anchors[0].Rect.center());
    EXPECT_EQ(shell.opened, QStringList({"open " + dir.path("readme.txt")}));
    EXPECT_TRUE(names.isEmpty());

    click(l, anchors[1].Rect.center());
    EXPECT_EQ(names, QStringList({"go on"}));

    click(l, anchors[2].Rect.center());
    EXPECT_EQ(shell.opened.size(), 1);
    EXPECT_EQ(msgs.log(), QStringList({"warning: Cannot open file \"run:me\"."}));
}

TEST(HtmlLinkOpen, OnlyWebMailAndExistingDocuments) {
    TempDir dir;
    ProgramFolderScope folder(dir.path());
    auto write = [&](const QString& name, const QByteArray& data, bool exec = false) {
        QFile f(dir.path(name));
        f.open(QIODevice::WriteOnly);
        f.write(data);
        f.close();
        if (exec) f.setPermissions(f.permissions() | QFile::ExeOwner);
    };
    write("doc.txt", "text");
    write("tool", "#!/bin/sh\necho hi\n", true);
    write("script.sh", "#!/bin/sh\necho hi\n");
    write("app.desktop", "[Desktop Entry]\nType=Application\nExec=xterm\n");
    write("start.jnlp", "<jnlp><application-desc/></jnlp>");
    write("app.flatpakref", "[Flatpak Ref]\nName=x\n");
    write("report.pdf", "%PDF-1.4\n");
    QDir(dir.path()).mkdir("folder");

    struct Case {
        QString target;
        QString opened; // empty: refused
    };
    const Case cases[] = {
        {"doc.txt", "open " + dir.path("doc.txt")},
        {dir.path("doc.txt"), "open " + dir.path("doc.txt")},
        {"file://" + dir.path("doc.txt"), "open " + dir.path("doc.txt")},
        {"http://example.com/a?b=1", "open http://example.com/a?b=1"},
        {" HTTPS://example.com/ ", "open https://example.com/"},
        {"mailto:someone@example.com", "open mailto:someone@example.com"},
        {"missing.txt", ""},
        {"tool", ""},
        {"script.sh", ""},
        {"app.desktop", ""},
        {"/bin/sh", ""},
        {"file:///bin/sh", ""},
        {"javascript:alert(1)", ""},
        {"ftp://example.com/x", ""},
        {"http:///nohost", ""},
        {"mailto:", ""},
        {"", ""},
        // Known-safe kinds only: documents of listed types, mail without attachments.
        {"report.pdf", "open " + dir.path("report.pdf")},
        {"start.jnlp", ""},
        {"app.flatpakref", ""},
        {"folder", ""},
        {"mailto:a@example.com?subject=Hi&body=x", "open mailto:a@example.com?subject=Hi&body=x"},
        {"mailto:a@example.com?attach=/etc/passwd", ""},
        {"mailto:a@example.com?subject=x&Attachment=~/.ssh/id_rsa", ""},
    };
    for (const Case& c : cases) {
        ShellRecorder shell;
        EXPECT_EQ(OpenHtmlLink(c.target), !c.opened.isEmpty()) << c.target.toStdString();
        EXPECT_EQ(shell.opened, c.opened.isEmpty() ? QStringList() : QStringList({c.opened}))
            << c.target.toStdString();
    }
}

// File names and database messages may hold markup: message boxes show it as it is, never as a link.
TEST(QtMessageBoxes, TextIsPlainText) {
    const QString markup = "<a href=\"file:///etc/passwd\">click</a> <b>x</b>";
    struct Seen {
        QStringList texts;
        bool plain = true;
    } seen;
    auto inspectNextBox = [&] {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (auto* label : box->findChildren<QLabel*>()) {
                if (label->text().isEmpty()) continue;
                seen.texts << label->text();
                seen.plain &= label->textFormat() == Qt::PlainText;
            }
            box->done(QMessageBox::No);
        });
    };
    QtMessages m;
    inspectNextBox();
    m.error(markup);
    inspectNextBox();
    m.questionHeading(markup, markup, false);
    inspectNextBox();
    m.exceptionBox(markup, markup);
    EXPECT_TRUE(seen.plain);
    EXPECT_EQ(seen.texts.filter(markup).size(), 5) << seen.texts.join('|').toStdString();
}

TEST(HtmlCellRenderer, LinksAreReportedAndNeverOpened) {
    ShellRecorder shell;
    HtmlCellRenderer r;
    QStringList names;
    r.OnAnchorClick = [&](const QString& name) { names << name; };
    QImage img(400, 100, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    HtmlCellStyle style;
    style.font = QFont("Sans", 12);

    r.Draw(p, QRect(0, 0, 200, 30), "<A HREF=file:///bin/sh>run</A> <VAR>v</VAR>", style);
    r.Draw(p, QRect(0, 30, 200, 30), "<A NAME=x>second</A>", style);
    // A link partly outside its cell answers only inside it.
    r.Draw(p, QRect(0, 60, 20, 30), "<A NAME=cut>long link text</A>", style);
    p.end();

    ASSERT_EQ(r.Anchors().size(), 3u);
    EXPECT_EQ(r.Anchors()[0].LinkType, "HREF");
    EXPECT_TRUE(QRect(0, 30, 200, 30).contains(r.Anchors()[1].Rect));
    EXPECT_LE(r.Anchors()[2].Rect.right(), 19);

    EXPECT_TRUE(r.Click(r.Anchors()[0].Rect.center()));
    EXPECT_TRUE(r.Click(r.Anchors()[1].Rect.center()));
    EXPECT_FALSE(r.Click(QPoint(190, 5)));
    EXPECT_EQ(names, QStringList({"file:///bin/sh", "x"}));
    EXPECT_TRUE(shell.opened.isEmpty());

    r.ClearAnchors();
    EXPECT_TRUE(r.Anchors().empty());
    EXPECT_GT(r.Measure("<VAR>v</VAR>", style).width(), r.Measure("v", style).width());
}

TEST(HtmlCellRenderer, HotLinkCountsAcrossCells) {
    HtmlCellRenderer r;
    HtmlCellStyle style;
    style.font = QFont("Sans", 16, QFont::Bold);
    style.palette.setColor(QPalette::Link, QColor(220, 0, 0));
    style.palette.setColor(QPalette::Highlight, QColor(0, 0, 220));
    r.SetHotAnchor(1); // the link of the second cell
    QImage img(200, 60, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    r.Draw(p, QRect(0, 0, 200, 30), "<A NAME=a>XXXX</A>", style);
    r.Draw(p, QRect(0, 30, 200, 30), "<A NAME=b>XXXX</A>", style);
    p.end();
    EXPECT_GT(tinted(img.copy(0, 0, 200, 30), 'r'), 20);
    EXPECT_EQ(tinted(img.copy(0, 0, 200, 30), 'b'), 0);
    EXPECT_GT(tinted(img.copy(0, 30, 200, 30), 'b'), 20);
    EXPECT_EQ(tinted(img.copy(0, 30, 200, 30), 'r'), 0);
}

TEST(HtmlUrlLabel, HintFollowsCommandAndClickOpensIt) {
    ShellRecorder shell;
    ScopedScriptedMessages msgs;
    TkURLLabel l("Home page");
    l.resize(200, 30);
    EXPECT_EQ(l.cursor().shape(), Qt::PointingHandCursor);
    l.setURLCommand("http://example.com/");
    EXPECT_EQ(l.toolTip(), "http://example.com/");
    l.setToolTip("own hint");
    l.setURLCommand("http://example.org/");
    EXPECT_EQ(l.toolTip(), "own hint");

    QStringList order;
    QObject::connect(&l, &TkURLLabel::clicked,
                     [&] { order << "clicked " + QString::number(shell.opened.size()); });
    click(&l, QPoint(10, 10));
    EXPECT_EQ(order, QStringList({"clicked 0"}));
    EXPECT_EQ(shell.opened, QStringList({"open http://example.org/"}));

    l.setURLCommand("xterm -e rm -rf ~");
    click(&l, QPoint(10, 10));
    EXPECT_EQ(shell.opened.size(), 1);
    EXPECT_EQ(msgs.shown.size(), 1u);
}

TEST(HtmlUrlLabel, HotColourWhileTheMouseIsOver) {
    TkURLLabel l("XXXXXXXX");
    QFont f = l.font();
    f.setPointSize(16);
    f.setBold(true);
    l.setFont(f);
    l.resize(200, 40);
    l.setFontColor(QColor(220, 0, 0));
    l.setHotColor(QColor(0, 0, 220));
    EXPECT_GT(tinted(render(l), 'r'), 20);
    EXPECT_EQ(tinted(render(l), 'b'), 0);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&l, &enter);
    EXPECT_TRUE(l.Hot());
    EXPECT_GT(tinted(render(l), 'b'), 20);
    EXPECT_EQ(tinted(render(l), 'r'), 0);
}

TEST(HtmlLabelPainting, TagColoursBackgroundsShadowAndDisabled) {
    QWidget host;
    TkHTMLLabel* l = makeLabel(host, "<B><COLOR=#E00000>XXXX</COLOR> <BGCOLOR=#00E000>YY</BGCOLOR></B>");
    QImage img = render(*l);
    EXPECT_GT(tinted(img, 'r'), 20);
    EXPECT_GT(tinted(img, 'g'), 50);
    EXPECT_EQ(tinted(img, 'b'), 0);

    l->setShowText3D(true);
    l->setShadowColor(QColor(0, 0, 230));
    l->setShadowSize(2);
    EXPECT_GT(tinted(render(*l), 'b'), 10);

    // A disabled label draws no colours from tags, and no backgrounds.
    l->setEnabled(false);
    img = render(*l);
    EXPECT_EQ(tinted(img, 'r'), 0);
    EXPECT_EQ(tinted(img, 'g'), 0);
}

TEST(HtmlLabelPainting, HotLinkColourFollowsTheMouse) {
    QWidget host;
    TkHTMLLabel* l = makeLabel(host, "<B><A NAME=a>XXXX</A> <A NAME=b>XXXX</A></B>");
    QPalette pal = l->palette();
    pal.setColor(QPalette::Link, QColor(220, 0, 0));
    pal.setColor(QPalette::Highlight, QColor(0, 0, 220));
    l->setPalette(pal);
    QImage img = render(*l);
    const int red = tinted(img, 'r');
    EXPECT_GT(red, 20);
    EXPECT_EQ(tinted(img, 'b'), 0);

    mouse(l, QEvent::MouseMove, l->Anchors()[1].Rect.center());
    img = render(*l);
    EXPECT_GT(tinted(img, 'b'), 10);
    EXPECT_LT(tinted(img, 'r'), red);

    l->setAnchorColor(QColor(0, 220, 0));
    img = render(*l);
    EXPECT_EQ(tinted(img, 'r'), 0);
    EXPECT_EQ(tinted(img, 'b'), 0);
    EXPECT_GT(tinted(img, 'g'), 20);
}

TEST(HtmlLabelPainting, Bevel) {
    QWidget host;
    TkHTMLLabel* l = makeLabel(host, "text", 100, 30);
    QPalette pal = l->palette();
    pal.setColor(QPalette::Dark, QColor(10, 20, 30));
    pal.setColor(QPalette::Light, QColor(200, 210, 220));
    l->setPalette(pal);
    l->setShowBeveled(true);
    const QImage img = render(*l);
    EXPECT_EQ(img.pixelColor(0, 15), QColor(10, 20, 30));
    EXPECT_EQ(img.pixelColor(50, 0), QColor(10, 20, 30));
    EXPECT_EQ(img.pixelColor(99, 15), QColor(200, 210, 220));
    EXPECT_EQ(img.pixelColor(50, 29), QColor(200, 210, 220));
}

TEST(HtmlLabel, AutoSizeAndNoWordWrap) {
    TkHTMLLabel l;
    l.setCaptionStrings("<B>first line</B><BR>second");
    EXPECT_TRUE(l.AutoSize());
    EXPECT_EQ(l.size(), l.sizeHint());
    const QSize twoLines = l.size();
    l.setCaptionStrings("<B>first line</B>");
    EXPECT_LT(l.height(), twoLines.height());

    l.setAutoSize(false);
    l.resize(30, 30);
    l.setWordWrap(true);
    l.setCaptionStrings("<B>a b c d e f</B><NOWORDWRAP>");
    render(l);
    QCoreApplication::processEvents();
    EXPECT_FALSE(l.wordWrap());
}

TEST(HtmlLabel, PlainTextGetsTheTextAsHintWhenItDoesNotFit) {
    QWidget host;
    TkHTMLLabel* l = makeLabel(host, "a rather long plain text", 40, 30);
    render(*l);
    EXPECT_EQ(l->toolTip(), "a rather long plain text");
    l->resize(600, 30);
    render(*l);
    EXPECT_EQ(l->toolTip(), "");

    l->setToolTip("mine");
    l->resize(40, 30);
    render(*l);
    EXPECT_EQ(l->toolTip(), "mine");
}

TEST(HtmlLabel, TabGridWidthZeroGivesOne) {
    TkHTMLLabel l;
    l.setTabGridWidth(0);
    EXPECT_EQ(l.TabGridWidth(), 1);
    l.setTabGridWidth(30);
    EXPECT_EQ(l.TabGridWidth(), 30);
}

} // namespace
