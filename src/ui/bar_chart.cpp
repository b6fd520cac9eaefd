#include "ui/bar_chart.h"

#include <QPainter>
#include <algorithm>

namespace ui {

namespace {

constexpr int kMargin = 6;
constexpr int kTickLength = 4;
// Past this many bars their labels stand upright so that they do not run into each other.
constexpr int kMaxLevelLabels = 16;
constexpr double kBarShare = 0.8;

}  // namespace

BarChart::BarChart(QWidget* parent) : QWidget(parent), labelFont_(font()) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void BarChart::setTitle(const QString& title) {
    title_ = title;
    update();
}

void BarChart::setLabelFont(const QFont& font) {
    labelFont_ = font;
    update();
}

void BarChart::setBarColors(const QColor& fill, const QColor& border) {
    fill_ = fill;
    border_ = border;
    update();
}

void BarChart::setBars(const QList<Bar>& bars, double axisMax, const QList<Tick>& ticks,
                       const QString& axisTitle) {
    bars_ = bars;
    axisMax_ = axisMax;
    ticks_ = ticks;
    axisTitle_ = axisTitle;
    update();
}

void BarChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRect area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);

    QFont titleFont = font();
    titleFont.setBold(true);
    painter.setFont(titleFont);
    const int titleHeight = painter.fontMetrics().height();
    painter.drawText(QRect(area.left(), area.top(), area.width(), titleHeight), Qt::AlignCenter,
                     title_);
    area.setTop(area.top() + titleHeight + kMargin);

    painter.setFont(labelFont_);
    const QFontMetrics metrics = painter.fontMetrics();
    const bool upright = bars_.size() > kMaxLevelLabels;
    int labelHeight = metrics.height();
    if (upright) {
        for (const Bar& bar : bars_) {
            labelHeight = std::max(labelHeight, metrics.horizontalAdvance(bar.label));
        }
    }
    int axisWidth = 0;
    if (axisMax_ > 0) {
        for (const Tick& tick : ticks_) {
            axisWidth = std::max(axisWidth, metrics.horizontalAdvance(tick.text));
        }
        axisWidth += kTickLength + kMargin + (axisTitle_.isEmpty() ? 0 : metrics.height());
    }
    const QRect plot(area.left() + axisWidth, area.top(), area.width() - axisWidth,
                     area.height() - labelHeight - kMargin);
    if (plot.width() <= 0 || plot.height() <= 0) {
        return;
    }
    painter.setPen(palette().color(QPalette::Text));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());

    if (axisMax_ > 0) {
        painter.drawLine(plot.bottomLeft(), plot.topLeft());
        for (const Tick& tick : ticks_) {
            const int y = plot.bottom() - int(tick.value / axisMax_ * plot.height());
            painter.drawLine(plot.left() - kTickLength, y, plot.left(), y);
            painter.drawText(QRect(area.left(), y - metrics.height() / 2,
                                   plot.left() - kTickLength - 2 - area.left(), metrics.height()),
                             Qt::AlignRight | Qt::AlignVCenter, tick.text);
        }
        if (!axisTitle_.isEmpty()) {
            painter.save();
            painter.translate(area.left(), plot.center().y());
            painter.rotate(-90);
            painter.drawText(QRect(-plot.height() / 2, 0, plot.height(), metrics.height()),
                             Qt::AlignCenter, axisTitle_);
            painter.restore();
        }
    }

    if (bars_.isEmpty()) {
        return;
    }
    const double slot = double(plot.width()) / bars_.size();
    for (int i = 0; i < bars_.size(); ++i) {
        const Bar& bar = bars_[i];
        const double left = plot.left() + slot * i;
        if (axisMax_ > 0 && bar.value > 0) {
            const double height = std::min(bar.value / axisMax_, 1.0) * plot.height();
            painter.setPen(border_);
            painter.setBrush(fill_);
            painter.drawRect(QRectF(left + slot * (1 - kBarShare) / 2, plot.bottom() - height,
                                    slot * kBarShare, height));
        }
        painter.setPen(palette().color(QPalette::Text));
        if (upright) {
            painter.save();
            painter.translate(left + slot / 2 + metrics.ascent() / 2.0, plot.bottom() + kMargin);
            painter.rotate(-90);
            painter.drawText(QRect(-labelHeight, -metrics.ascent(), labelHeight, metrics.height()),
                             Qt::AlignRight | Qt::AlignVCenter, bar.label);
            painter.restore();
        } else {
            painter.drawText(QRectF(left, plot.bottom() + kMargin, slot, metrics.height()),
                             Qt::AlignHCenter | Qt::AlignTop, bar.label);
        }
    }
}

}  // namespace ui
