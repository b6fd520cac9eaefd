#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QWidget>

namespace ui {

// A bar chart painted by hand: a title, one labelled bar per value, and a value axis with the
// ticks the caller chose. Small enough to need no charting library on any system.
class BarChart : public QWidget {
    Q_OBJECT

public:
    struct Bar {
        QString label;
        double value = 0;
    };
    struct Tick {
        double value = 0;
        QString text;
    };

    explicit BarChart(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    QString title() const { return title_; }
    void setLabelFont(const QFont& font);
    void setBarColors(const QColor& fill, const QColor& border);
    // Bars with no axis show their labels only: the title says why there is nothing to draw.
    void setBars(const QList<Bar>& bars, double axisMax = 0, const QList<Tick>& ticks = {},
                 const QString& axisTitle = {});
    const QList<Bar>& bars() const { return bars_; }
    const QList<Tick>& ticks() const { return ticks_; }

    QSize sizeHint() const override { return {600, 240}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
    QFont labelFont_;
    QColor fill_{148, 190, 231};
    QColor border_{90, 130, 180};
    QList<Bar> bars_;
    QList<Tick> ticks_;
    QString axisTitle_;
    double axisMax_ = 0;
};

}  // namespace ui
