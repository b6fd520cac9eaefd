#include "reports/report_page_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <cmath>

namespace {

constexpr double kGap = 10;  // viewport pixels around and between pages
constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 5;
const QColor kDesk(128, 128, 128);
const QColor kShadow(64, 64, 64);

}  // namespace

ReportPageView::ReportPageView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("previewWidget"));
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
}

void ReportPageView::setPages(const Report* report, const ReportPlacement& placement,
                              const QSizeF& paper, const QPointF& areaOffset) {
    report_ = report;
    placement_ = placement;
    paper_ = paper;
    areaOffset_ = areaOffset;
    failureSaid_ = false;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    viewport()->update();
    noteCurrentPage();
}

double ReportPageView::pixelsPerUnit() const {
    const double toScreen = logicalDpiY() / std::max(placement_.dpi, 1.0);
    const QSizeF paper = paper_ * toScreen;
    if (paper.isEmpty()) {
        return toScreen * zoom_;
    }
    const QSizeF room = QSizeF(viewport()->size()) - QSizeF(2 * kGap, 2 * kGap);
    switch (fit_) {
        case Fit::Width:
            return toScreen * std::max(kMinZoom, room.width() / paper.width());
        case Fit::Page:
            return toScreen * std::max(kMinZoom, std::min(room.width() / paper.width(),
                                                          room.height() / paper.height()));
        case Fit::None:
            break;
    }
    return toScreen * zoom_;
}

double ReportPageView::zoomFactor() const {
    return pixelsPerUnit() * std::max(placement_.dpi, 1.0) / logicalDpiY();
}

void ReportPageView::setZoomFactor(double factor) {
    const int page = currentPage();
    zoom_ = std::clamp(factor, kMinZoom, kMaxZoom);
    fit_ = Fit::None;
    updateScrollBars();
    setCurrentPage(page);
    viewport()->update();
}

void ReportPageView::setFit(Fit fit) {
    const int page = currentPage();
    fit_ = fit;
    updateScrollBars();
    setCurrentPage(page);
    viewport()->update();
}

QSizeF ReportPageView::pageSize() const {
    return paper_ * pixelsPerUnit();
}

QRectF ReportPageView::pageRect(int index) const {
    const QSizeF size = pageSize();
    const double contentWidth = size.width() + 2 * kGap;
    const double left = contentWidth < viewport()->width()
                            ? (viewport()->width() - size.width()) / 2
                            : kGap - horizontalScrollBar()->value();
    const double top = kGap + index * (size.height() + kGap) - verticalScrollBar()->value();
    return QRectF(QPointF(left, top), size);
}

int ReportPageView::currentPage() const {
    if (pageCount() == 0) {
        return 0;
    }
    const double stride = pageSize().height() + kGap;
    const double middle = verticalScrollBar()->value() + viewport()->height() / 2.0 - kGap;
    const int index = stride > 0 ? int(std::floor(middle / stride)) : 0;
    return std::clamp(index, 0, pageCount() - 1) + 1;
}

void ReportPageView::setCurrentPage(int page) {
    if (pageCount() == 0) {
        return;
    }
    const int index = std::clamp(page, 1, pageCount()) - 1;
    const double stride = pageSize().height() + kGap;
    // The page's top at the top of the view, or as near as the scroll range allows.
    verticalScrollBar()->setValue(int(std::lround(index * stride)));
    noteCurrentPage();
}

void ReportPageView::updateScrollBars() {
    const QSizeF size = pageSize();
    const double height = pageCount() * (size.height() + kGap) + kGap;
    const double width = size.width() + 2 * kGap;
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(height)) - viewport()->height()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(width)) - viewport()->width()));
}

void ReportPageView::noteCurrentPage() {
    const int page = currentPage();
    if (page != lastCurrent_) {
        lastCurrent_ = page;
        emit currentPageChanged(page);
    }
}

void ReportPageView::resizeEvent(QResizeEvent* event) {
    const int page = currentPage();
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (fit_ != Fit::None) {
        setCurrentPage(page);
    }
}

void ReportPageView::scrollContentsBy(int, int) {
    viewport()->update();
    noteCurrentPage();
}

void ReportPageView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), kDesk);
    if (!report_ || pageCount() == 0) {
        return;
    }
    const double stride = pageSize().height() + kGap;
    const double top = verticalScrollBar()->value();
    // Only the pages that meet the viewport are painted.
    const int first = std::max(0, int(std::floor((top - kGap) / stride)));
    const int last =
        std::min(pageCount() - 1, int(std::floor((top + viewport()->height()) / stride)));
    const double k = pixelsPerUnit();
    for (int index = first; index <= last; ++index) {
        const QRectF page = pageRect(index);
        if (!page.intersects(QRectF(event->rect()))) {
            continue;
        }
        painter.fillRect(page.translated(3, 3), kShadow);
        painter.fillRect(page, Qt::white);
        painter.save();
        painter.setClipRect(page);
        painter.translate(page.topLeft());
        painter.scale(k, k);
        painter.translate(areaOffset_);
        const DbStatus painted = PaintReportPage(painter, *report_, placement_, index);
        painter.restore();
        if (!painted && !failureSaid_) {
            failureSaid_ = true;
            // Said after painting: a message box must not open inside a paint event.
            QMetaObject::invokeMethod(
                this, [this, reason = painted.error()] { emit readFailed(reason); },
                Qt::QueuedConnection);
        }
    }
}
