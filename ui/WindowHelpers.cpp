#include "WindowHelpers.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace {

const char* const kAnchorsProperty = "ondrikAnchors";
// Distances to the parent's right and bottom edges, as recorded.
const char* const kMarginsProperty = "ondrikAnchorMargins";

const char* const kKeeperName = "ondrikAnchorKeeper";

// Repositions the anchored children of one parent after each resize.
class TAnchorKeeper : public QObject {
public:
    explicit TAnchorKeeper(QWidget* parent) : QObject(parent) { setObjectName(kKeeperName); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) Apply(static_cast<QWidget*>(watched));
        return false;
    }

    static void Apply(QWidget* parent) {
        for (QObject* object : parent->children()) {
            auto* control = qobject_cast<QWidget*>(object);
            if (!control || control->isWindow()) continue;
            const int anchors = Anchors(*control);
            if ((anchors & (akRight | akBottom)) == 0) continue;
            const QRect margins = control->property(kMarginsProperty).toRect();
            QRect g = control->geometry();
            const int right = parent->width() - margins.width();
            const int bottom = parent->height() - margins.height();
            if (anchors & akRight) {
                if (anchors & akLeft) g.setRight(right - 1);
                else g.moveRight(right - 1);
            }
            if (anchors & akBottom) {
                if (anchors & akTop) g.setBottom(bottom - 1);
                else g.moveBottom(bottom - 1);
            }
            control->setGeometry(g);
        }
    }
};

void Record(QWidget& control) {
    QWidget* parent = control.parentWidget();
    if (!parent) return;
    const QRect g = control.geometry();
    // width: distance from the right edge; height: from the bottom edge.
    control.setProperty(kMarginsProperty,
                        QRect(0, 0, parent->width() - (g.x() + g.width()),
                              parent->height() - (g.y() + g.height())));
}

}  // namespace

void SetAnchors(QWidget& control, int anchors) {
    QWidget* parent = control.parentWidget();
    control.setProperty(kAnchorsProperty, anchors);
    if (!parent) return;
    Record(control);
    // By name: without its own meta-object the keeper's type cannot be told
    // from any other child's.
    if (!parent->findChild<QObject*>(kKeeperName, Qt::FindDirectChildrenOnly)) {
        parent->installEventFilter(new TAnchorKeeper(parent));
    }
}

int Anchors(const QWidget& control) {
    const QVariant value = control.property(kAnchorsProperty);
    return value.isValid() ? value.toInt() : (akLeft | akTop);
}

void CenterOnScreen(QWidget& window) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    window.move(area.x() + (area.width() - window.width()) / 2,
                area.y() + (area.height() - window.height()) / 2);
}

void FitToControls(QWidget& window) {
    int bottom = 0;
    int right = 0;
    QList<QWidget*> suspended;
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (control->isWindow() || control->isHidden()) continue;
        // Only controls that are shown as far as their parents go.
        bool shown = true;
        for (QWidget* p = control->parentWidget(); p && p != &window; p = p->parentWidget()) {
            if (p->isHidden()) { shown = false; break; }
        }
        if (!shown) continue;
        const QRect g = control->geometry();
        bottom = std::max(bottom, g.y() + g.height());
        right = std::max(right, g.x() + g.width());
        if (control->parentWidget() == &window && (Anchors(*control) & akRight)) {
            control->setProperty(kAnchorsProperty, Anchors(*control) & ~akRight);
            suspended.append(control);
        }
    }
    // The widget's own size is its client area here: the frame is the
    // window manager's.
    window.resize(right + 3, bottom + 3);
    // A window not shown yet gets its resize event only when shown; the
    // anchors follow now, as they would on screen.
    TAnchorKeeper::Apply(&window);
    for (QWidget* control : suspended) {
        control->setProperty(kAnchorsProperty, Anchors(*control) | akRight);
        Record(*control);
    }
}
