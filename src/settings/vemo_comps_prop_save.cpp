#include "vemo_comps_prop_save.h"

#include "prop_save_file.h"

#include <QWidget>

namespace {

const QString kVisible = QStringLiteral("Visible");
const QString kMinimized = QStringLiteral("Minimized");
const QString kOriginSize = QStringLiteral("OriginSize");
const QString kZoom = QStringLiteral("Zoom");
const QString kAutoFit = QStringLiteral("AutoFit");
const QString kFontName = QStringLiteral("FontName");

// Reads a stored value into a property, the current value being the default.
void ReadProperty(TPropSaveFile& s, QObject* c, const QString& sec, const QString& key,
                  const char* property) {
    c->setProperty(property, s.ReadVariant(sec, key, c->property(property)));
}

class CollapsibleGroupBox : public TCtrlAdapter {
    static bool Visibility(const TCustomPropSave& saver) {
        auto* owner = qobject_cast<const TVemoCompsPropSave*>(&saver);
        return !owner || owner->StoreVisibility;
    }

public:
    void Read(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave& saver) const override {
        auto* w = static_cast<QWidget*>(c);
        if (Visibility(saver)) w->setVisible(s.ReadBool(sec, kVisible, !w->isHidden()));
        ReadProperty(s, c, sec, kMinimized, "minimized");
        ReadProperty(s, c, sec, kOriginSize, "originSize");
    }
    void Save(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave& saver) const override {
        if (Visibility(saver)) s.WriteBool(sec, kVisible, !static_cast<QWidget*>(c)->isHidden());
        s.WriteVariant(sec, kMinimized, c->property("minimized"));
        s.WriteVariant(sec, kOriginSize, c->property("originSize"));
    }
    void Delete(TPropSaveFile& s, QObject*, const QString& sec, const TCustomPropSave&) const override {
        for (const QString& key : {kVisible, kMinimized, kOriginSize})
            s.DeleteKey(sec, key);
    }
    bool HoldsControls() const override { return true; }
};

class ImageZoom : public TCtrlAdapter {
public:
    void Read(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        ReadProperty(s, c, sec, kZoom, "zoom");
        ReadProperty(s, c, sec, kAutoFit, "autoFit");
    }
    void Save(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        s.WriteVariant(sec, kZoom, c->property("zoom"));
        s.WriteVariant(sec, kAutoFit, c->property("autoFit"));
    }
    void Delete(TPropSaveFile& s, QObject*, const QString& sec, const TCustomPropSave&) const override {
        s.DeleteKey(sec, kZoom);
        s.DeleteKey(sec, kAutoFit);
    }
};

class ExtMemo : public TCtrlAdapter {
public:
    explicit ExtMemo(bool lines) : lines_(lines) {}
    void Read(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        auto* w = static_cast<QWidget*>(c);
        if (s.ValueExists(sec, kFontName)) {
            QFont font = w->font();
            s.ReadFont(sec, font);
            w->setFont(font);
        }
        if (lines_) {
            QStringList lines = c->property("lines").toStringList();
            if (s.ReadStrings(sec, lines)) c->setProperty("lines", lines);
        }
    }
    void Save(TPropSaveFile& s, QObject* c, const QString& sec, const TCustomPropSave&) const override {
        auto* w = static_cast<QWidget*>(c);
        if (lines_ || w->testAttribute(Qt::WA_SetFont)) s.WriteFont(sec, w->font());
        if (lines_) s.WriteStrings(sec, c->property("lines").toStringList());
    }
    void Delete(TPropSaveFile& s, QObject*, const QString& sec, const TCustomPropSave&) const override {
        s.DeleteFont(sec);
        if (lines_) s.DeleteStrings(sec);
    }

private:
    bool lines_;
};

} // namespace

TCtrlAdapterRegistry& VemoCompAdapters() {
    static TCtrlAdapterRegistry registry;
    return registry;
}

TCtrlAdapterPtr CollapsibleGroupBoxAdapter() {
    return std::make_shared<CollapsibleGroupBox>();
}
TCtrlAdapterPtr ImageZoomAdapter() {
    return std::make_shared<ImageZoom>();
}
TCtrlAdapterPtr ExtMemoAdapter() {
    return std::make_shared<ExtMemo>(false);
}
TCtrlAdapterPtr ExtDBMemoAdapter() {
    return std::make_shared<ExtMemo>(true);
}

void TVemoCompsPropSave::ProcessComponent(TPropSaveAction action, TPropSaveFile& store, QObject* component,
                                          const QString& key) {
    if (const TCtrlAdapter* adapter = VemoCompAdapters().Find(component))
        adapter->Process(action, store, component, key, *this);
}

bool TVemoCompsPropSave::CanSave(QObject* component) const {
    return VemoCompAdapters().Find(component) != nullptr;
}

bool TVemoCompsPropSave::IsLeaf(QObject* component) const {
    const TCtrlAdapter* adapter = VemoCompAdapters().Find(component);
    return !adapter || !adapter->HoldsControls();
}
