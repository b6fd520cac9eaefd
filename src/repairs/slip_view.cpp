#include "repairs/slip_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QPointer>
#include <QVector>
#include <limits>

#include "repairs/slip_painter.h"

namespace {

// White space around the slip, in pixels.
constexpr int kPaperMargin = 16;
// On screen one twip is 1/15 pixel at 96 dots per inch.
constexpr double kScreenTwipsPerPixel = 15;

// One text of the slip for screen readers. It holds no text of its own but reads the view's
// current slip, so it stays right when the slip changes.
class SlipTextAccessible : public QAccessibleInterface {
public:
    SlipTextAccessible(SlipView* view, int index) : view_(view), index_(index) {}

    bool isValid() const override { return view_ && index_ < texts().size(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return view_ ? QAccessible::queryAccessibleInterface(view_)->window() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return view_ ? QAccessible::queryAccessibleInterface(view_) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        if (!isValid()) {
            return QString();
        }
        const SlipText text = texts().at(index_);
        switch (t) {
            case QAccessible::Name:
                return text.text;
            case QAccessible::Description:
                return text.role;
            default:
                return QString();
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) {
            return QRect();
        }
        const QRect local = SlipTextRect(texts().at(index_), view_->slipRect()).toAlignedRect();
        return QRect(view_->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::StaticText; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.readOnly = true;
        state.invisible = !view_ || !view_->isVisible();
        return state;
    }

private:
    QList<SlipText> texts() const { return SlipTexts(view_->slip()); }

    QPointer<SlipView> view_;
    int index_;
};

class SlipViewAccessible : public QAccessibleWidget {
public:
    explicit SlipViewAccessible(SlipView* view)
        : QAccessibleWidget(view, QAccessible::Document), children_(SlipTexts(Slip()).size(), 0) {}

    ~SlipViewAccessible() override {
        for (QAccessible::Id id : children_) {
            if (id) {
                QAccessible::deleteAccessibleInterface(id);
            }
        }
    }

    int childCount() const override { return children_.size(); }

    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= children_.size()) {
            return nullptr;
        }
        if (!children_[index]) {
            children_[index] = QAccessible::registerAccessibleInterface(
                new SlipTextAccessible(static_cast<SlipView*>(widget()), index));
        }
        return QAccessible::accessibleInterface(children_[index]);
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < children_.size(); ++i) {
            if (children_[i] && QAccessible::accessibleInterface(children_[i]) == child) {
                return i;
            }
        }
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < children_.size(); ++i) {
            QAccessibleInterface* item = child(i);
            if (item && item->rect().contains(x, y)) {
                return item;
            }
        }
        return nullptr;
    }

private:
    mutable QVector<QAccessible::Id> children_;
};

QAccessibleInterface* SlipViewFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("SlipView") && object && object->isWidgetType()) {
        return new SlipViewAccessible(static_cast<SlipView*>(object));
    }
    return nullptr;
}

}  // namespace

SlipView::SlipView(QWidget* parent) : QWidget(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(SlipViewFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SlipView::setSlip(const Slip& slip) {
    slip_ = slip;
    setAccessibleName(slip.title);
    update();
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

QRectF SlipView::slipRect() const {
    const QRectF area =
        QRectF(rect()).adjusted(kPaperMargin, kPaperMargin, -kPaperMargin, -kPaperMargin);
    QRectF slip = FitSlip(area, std::numeric_limits<double>::infinity());
    // Centred, so a window wider than the slip keeps even margins.
    slip.moveCenter(QPointF(area.center().x(), slip.center().y()));
    return slip;
}

QSize SlipView::sizeHint() const {
    return QSize(qRound(kSlipWidthTwips / kScreenTwipsPerPixel) + 2 * kPaperMargin,
                 qRound(kSlipHeightTwips / kScreenTwipsPerPixel) + 2 * kPaperMargin);
}

QSize SlipView::minimumSizeHint() const {
    return sizeHint() / 2;
}

void SlipView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setRenderHint(QPainter::TextAntialiasing);
    PaintSlip(painter, slip_, slipRect());
}
