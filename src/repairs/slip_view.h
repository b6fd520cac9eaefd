#pragma once

#include <QList>
#include <QRectF>
#include <QWidget>

#include "repairs/slip.h"

// Shows a slip as it prints: white paper with the slip drawn by the same painter as the
// printer's page. Screen readers find every text of the slip as a child of the widget, named
// by the text, with what the text is as its description.
class SlipView : public QWidget {
    Q_OBJECT

public:
    explicit SlipView(QWidget* parent = nullptr);

    void setSlip(const Slip& slip);
    const Slip& slip() const { return slip_; }

    // Where the slip is drawn inside the widget.
    QRectF slipRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Slip slip_;
};
