#pragma once

#include <QAbstractScrollArea>
#include <QRectF>

#include "reports/report_painter.h"

// The pages of a laid-out report one below the other, as they print. Only the pages that
// scroll into view are painted, so a long report shows its first page at once.
class ReportPageView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit ReportPageView(QWidget* parent = nullptr);

    // Shows `report` as placed on paper of `paper` (device units of the placement) whose
    // printable area starts at `areaOffset`. The report must outlive the view's use of it.
    void setPages(const Report* report, const ReportPlacement& placement, const QSizeF& paper,
                  const QPointF& areaOffset);
    int pageCount() const { return int(placement_.pages.size()); }

    enum class Fit { None, Width, Page };
    // Screen pixels per paper pixel at the screen's resolution: 1 shows the paper at its size.
    double zoomFactor() const;
    void setZoomFactor(double factor);
    void setFit(Fit fit);
    Fit fit() const { return fit_; }

    // From 1; the page under the middle of the view.
    int currentPage() const;
    void setCurrentPage(int page);

    // Where page `index` (from 0) stands in the viewport.
    QRectF pageRect(int index) const;

signals:
    void currentPageChanged(int page);
    // A page's rows could not be read; said once a layout.
    void readFailed(const QString& reason);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // Viewport pixels per device unit of the placement.
    double pixelsPerUnit() const;
    QSizeF pageSize() const;
    void updateScrollBars();
    void noteCurrentPage();

    const Report* report_ = nullptr;
    ReportPlacement placement_;
    QSizeF paper_;
    QPointF areaOffset_;
    Fit fit_ = Fit::Width;
    double zoom_ = 1;
    int lastCurrent_ = 0;
    bool failureSaid_ = false;
};
