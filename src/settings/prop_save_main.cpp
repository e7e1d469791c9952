#include "prop_save_main.h"

#include "comp_config.h"
#include "messages.h"
#include "prop_save_file.h"

#include <QEvent>
#include <QWidget>

namespace {

const QString kWinMinMax = QStringLiteral("WinMinMax");

QWidget* WindowOf(QObject* owner) {
    for (QObject* o = owner; o; o = o->parent())
        if (o->isWidgetType()) return static_cast<QWidget*>(o)->window();
    return nullptr;
}

int WindowStateCode(const QWidget* w) {
    if (w->isMinimized()) return 1;
    if (w->isMaximized()) return 2;
    return 0;
}

// A window the user cannot resize keeps its designed size; only its position is restored.
bool Sizeable(const QWidget* w) {
    return w->minimumSize() != w->maximumSize();
}

} // namespace

TPropSaveMain::TPropSaveMain(QObject* owner)
    : QObject(owner), CtrlPosition(new TPositionPropSave(this)), StdCtrl(new TStdCtrlPropSave(this)),
      window_(WindowOf(owner)) {
    CtrlPosition->SetPropSaveMain(this);
    StdCtrl->SetPropSaveMain(this);
}

TPropSaveMain::~TPropSaveMain() {
    if (window_) window_->removeEventFilter(this);
    for (const QPointer<TCustomPropSave>& saver : std::as_const(savers_))
        if (saver && saver->PropSaveMain() == this) saver->SetPropSaveMain(nullptr);
}

void TPropSaveMain::AddSaver(TCustomPropSave* saver) {
    if (saver != CtrlPosition && saver != StdCtrl && !savers_.contains(saver)) savers_ << saver;
}

void TPropSaveMain::RemoveSaver(TCustomPropSave* saver) {
    savers_.removeAll(saver);
}

TPropSaveFile* TPropSaveMain::Store() const {
    return PropSaveFile ? PropSaveFile : VemoCompConfig().Global_PropSaveFile;
}

QString TPropSaveMain::GetFormKey() const {
    if (!FormKey.isEmpty()) return FormKey;
    if (!window_) return QString();
    return window_->objectName().isEmpty() ? QString::fromLatin1(window_->metaObject()->className())
                                           : window_->objectName();
}

bool TPropSaveMain::FormIsSaved() {
    TPropSaveFile* store = Store();
    return store && !store->DisableAll && store->SectionExists(GetFormKey() + QStringLiteral("_XY"));
}

void TPropSaveMain::Loaded() {
    if (!window_ || hooked_) return;
    hooked_ = true;
    if (PropSaveEvents == pseNone) return;
    window_->installEventFilter(this);
    if (PropSaveEvents == pseFormCreateDestroy) {
        // destroyed() comes from the window's destructor before its children are deleted.
        connect(window_, &QObject::destroyed, this, [this] {
            if (!saved_) AutoRun(psaSave);
        });
        AutoRun(psaRead);
    }
}

bool TPropSaveMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && PropSaveEvents == pseFormShowHide) {
        if (event->type() == QEvent::Show && !read_) AutoRun(psaRead);
        if (event->type() == QEvent::Hide && !static_cast<QWidget*>(watched)->isVisible()) AutoRun(psaSave);
    }
    return QObject::eventFilter(watched, event);
}

void TPropSaveMain::AutoRun(TPropSaveAction action) {
    TPropSaveFile* store = Store();
    if (!store || store->DisableAll) return;
    if (action == psaRead && read_) return;
    try {
        Run(action);
    } catch (const std::exception& e) {
        Messages().error(ExceptionMessage(e));
    }
}

void TPropSaveMain::ReadProperties() {
    Run(psaRead);
}
void TPropSaveMain::SaveProperties() {
    Run(psaSave);
}
void TPropSaveMain::DeleteProperties() {
    Run(psaDelete);
}

void TPropSaveMain::SaveBeforeDestroy() {
    if (!hooked_ || PropSaveEvents != pseFormCreateDestroy || saved_) return;
    saved_ = true;
    AutoRun(psaSave);
}

void TPropSaveMain::Run(TPropSaveAction action) {
    TPropSaveFile* store = Store();
    if (!window_ || !store) return;
    read_ = action == psaRead;
    if (FormSavePos) RunWindowPosition(action);
    CtrlPosition->ProcComps(action);
    StdCtrl->ProcComps(action);
    const QList<QPointer<TCustomPropSave>> savers = savers_;
    for (const QPointer<TCustomPropSave>& saver : savers)
        if (saver && saver->PropSaveMain() == this) saver->ProcComps(action);
    if (action == psaRead && OnReadProperties) OnReadProperties(store, GetFormKey());
    if (action == psaSave && OnSaveProperties) OnSaveProperties(store, GetFormKey());
}

void TPropSaveMain::RunWindowPosition(TPropSaveAction action) {
    QWidget* w = window_;
    TPropSaveFile& store = *Store();
    const QString section = GetFormKey() + QStringLiteral("_XY");
    const bool saved = store.SectionExists(section);
    TPositionPropSave bounds;
    if (FormLimitToScreen && !DesktopRect().isEmpty()) {
        bounds.LimitToRect = true;
        bounds.LimitRect = TLimitRect{TBounds::FromRect(DesktopRect()), 120};
    }
    bool maximize = false;
    switch (action) {
    case psaSave:
        store.WriteInteger(section, kWinMinMax, WindowStateCode(w));
        break;
    case psaDelete:
        store.DeleteKey(section, kWinMinMax);
        break;
    case psaRead:
        if (!saved) return;
        if (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
            w->setWindowState(Qt::WindowNoState);
        maximize = store.ReadInteger(section, kWinMinMax, 0) == 2;
        break;
    }
    const bool normal = WindowStateCode(w) == 0 && !w->isFullScreen();
    if (action == psaRead) {
        TBounds b = bounds.ReadBounds(store, section, TBounds::FromRect(w->geometry()));
        if (!Sizeable(w)) {
            b.Right = b.Left + w->width();
            b.Bottom = b.Top + w->height();
        }
        w->setGeometry(b.ToRect());
        // Qt keeps the normal bounds under the maximized state, so both are restored at once.
        if (maximize) w->setWindowState(w->windowState() | Qt::WindowMaximized);
    } else if (normal || !saved) {
        // A maximized window never overwrites its normal bounds; a first save records them.
        const QRect rect = normal ? w->geometry() : w->normalGeometry();
        if (action == psaSave)
            TPositionPropSave::WriteBounds(store, section,
                                           TBounds::FromRect(rect.isValid() ? rect : w->geometry()));
        else
            TPositionPropSave::DeleteBounds(store, section);
    }
}
