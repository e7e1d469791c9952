#include "position_prop_save.h"

#include "prop_save_file.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

TBounds LimitBounds(TBounds b, const TLimitRect& limit) {
    const TBounds& l = limit.Rect;
    if (b.Right > l.Right) {
        const int d = b.Right - l.Right;
        b.Left -= d;
        b.Right -= d;
    }
    if (b.Bottom > l.Bottom) {
        const int d = b.Bottom - l.Bottom;
        b.Top -= d;
        b.Bottom -= d;
    }
    b.Left = std::max(b.Left, l.Left);
    b.Top = std::max(b.Top, l.Top);
    b.Right = std::min(b.Right, l.Right);
    b.Bottom = std::min(b.Bottom, l.Bottom);
    if (b.Right - b.Left < limit.MinWidthHeight) b.Right = b.Left + limit.MinWidthHeight;
    if (b.Bottom - b.Top < limit.MinWidthHeight) b.Bottom = b.Top + limit.MinWidthHeight;
    return b;
}

QRect DesktopRect() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualGeometry() : QRect();
}

bool TPositionPropSave::CanSave(QObject* component) const {
    return component->isWidgetType();
}

TBounds TPositionPropSave::ReadBounds(TPropSaveFile& store, const QString& section,
                                      const TBounds& current) const {
    TBounds b{store.ReadInteger(section, QStringLiteral("Left"), current.Left),
              store.ReadInteger(section, QStringLiteral("Top"), current.Top),
              store.ReadInteger(section, QStringLiteral("Right"), current.Right),
              store.ReadInteger(section, QStringLiteral("Bottom"), current.Bottom)};
    return LimitToRect ? LimitBounds(b, LimitRect) : b;
}

void TPositionPropSave::WriteBounds(TPropSaveFile& store, const QString& section, const TBounds& bounds) {
    store.WriteInteger(section, QStringLiteral("Left"), bounds.Left);
    store.WriteInteger(section, QStringLiteral("Right"), bounds.Right);
    store.WriteInteger(section, QStringLiteral("Top"), bounds.Top);
    store.WriteInteger(section, QStringLiteral("Bottom"), bounds.Bottom);
}

void TPositionPropSave::DeleteBounds(TPropSaveFile& store, const QString& section) {
    for (const char* key : {"Left", "Right", "Top", "Bottom"})
        store.DeleteKey(section, QString::fromLatin1(key));
}

void TPositionPropSave::ProcessComponent(TPropSaveAction action, TPropSaveFile& store, QObject* component,
                                         const QString& key) {
    auto* widget = static_cast<QWidget*>(component);
    const QString section = SectionOf(key);
    switch (action) {
    case psaRead:
        widget->setGeometry(ReadBounds(store, section, TBounds::FromRect(widget->geometry())).ToRect());
        break;
    case psaSave:
        WriteBounds(store, section, TBounds::FromRect(widget->geometry()));
        break;
    case psaDelete:
        DeleteBounds(store, section);
        break;
    }
}
