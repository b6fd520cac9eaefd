#include "masterdata/panel_icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// Every picture is drawn on a 64 x 64 canvas that the painter scales to the size asked for.
constexpr qreal kCanvas = 64.0;

class Pictogram {
public:
    Pictogram(QPainter* painter, bool disabled) : p_(painter), disabled_(disabled) {}

    QColor color(QColor c) const {
        if (!disabled_) {
            return c;
        }
        const int grey = qGray(c.rgb());
        return QColor(160 + grey / 4, 160 + grey / 4, 160 + grey / 4, c.alpha());
    }

    void fill(const QPainterPath& path, QColor c, QColor outline = QColor(), qreal width = 1.5) {
        p_->setPen(outline.isValid() ? QPen(color(outline), width) : QPen(Qt::NoPen));
        p_->setBrush(color(c));
        p_->drawPath(path);
    }

    void line(QPointF a, QPointF b, QColor c, qreal width) {
        p_->setPen(QPen(color(c), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p_->drawLine(a, b);
    }

    void person(QPointF centre, qreal size, QColor c) {
        QPainterPath head;
        head.addEllipse(QPointF(centre.x(), centre.y() - size * 0.42), size * 0.27, size * 0.27);
        QPainterPath body;
        const qreal w = size * 0.55;
        const qreal top = centre.y() - size * 0.08;
        const qreal bottom = centre.y() + size * 0.52;
        body.moveTo(centre.x() - w, bottom);
        body.cubicTo(centre.x() - w, top, centre.x() + w, top, centre.x() + w, bottom);
        body.closeSubpath();
        fill(body, c);
        fill(head, c);
    }

    // A database: a cylinder of three stacked discs.
    void cylinder(QRectF box, QColor side, QColor top) {
        const qreal rim = box.height() * 0.14;
        QPainterPath body;
        body.moveTo(box.left(), box.top() + rim);
        body.lineTo(box.left(), box.bottom() - rim);
        body.arcTo(QRectF(box.left(), box.bottom() - 2 * rim, box.width(), 2 * rim), 180, 180);
        body.lineTo(box.right(), box.top() + rim);
        body.closeSubpath();
        fill(body, side);
        for (int band = 1; band <= 2; ++band) {
            const qreal y = box.top() + rim + (box.height() - 2 * rim) * band / 3.0;
            QPainterPath seam;
            seam.moveTo(box.left(), y);
            seam.arcTo(QRectF(box.left(), y - rim, box.width(), 2 * rim), 180, 180);
            p_->setBrush(Qt::NoBrush);
            p_->setPen(QPen(color(top), 1.6));
            p_->drawPath(seam);
        }
        QPainterPath lid;
        lid.addEllipse(QRectF(box.left(), box.top(), box.width(), 2 * rim));
        fill(lid, top, side, 1.2);
    }

    // A round badge with a white plus, for "add".
    void plusBadge(QPointF centre, qreal radius, QColor c) {
        QPainterPath badge;
        badge.addEllipse(centre, radius, radius);
        fill(badge, c, Qt::white, 2);
        const qreal arm = radius * 0.55;
        line(centre - QPointF(arm, 0), centre + QPointF(arm, 0), Qt::white, radius * 0.35);
        line(centre - QPointF(0, arm), centre + QPointF(0, arm), Qt::white, radius * 0.35);
    }

    // A thick arrow from `from` to `to`.
    void arrow(QPointF from, QPointF to, QColor c, qreal width) {
        const QLineF shaft(from, to);
        QLineF back = shaft;
        back.setLength(shaft.length() - width * 1.2);
        line(from, back.p2(), c, width);
        QLineF normal = shaft.normalVector();
        normal.setLength(width * 1.3);
        const QPointF side = normal.p2() - normal.p1();
        QPainterPath head;
        head.moveTo(to);
        head.lineTo(back.p2() + side);
        head.lineTo(back.p2() - side);
        head.closeSubpath();
        fill(head, c);
    }

    void draw(PanelPicture picture) {
        switch (picture) {
            case PanelPicture::Import:
                importSheet();
                break;
            case PanelPicture::Technicians:
                technician();
                break;
            case PanelPicture::AddOperator:
                person(QPointF(28, 32), 40, QColor(46, 117, 182));
                plusBadge(QPointF(47, 46), 11, QColor(56, 161, 72));
                break;
            case PanelPicture::RepairItems:
                priceList();
                break;
            case PanelPicture::Password:
                padlock();
                break;
            case PanelPicture::Backup:
                cylinder(QRectF(6, 8, 36, 46), QColor(52, 101, 164), QColor(114, 159, 207));
                arrow(QPointF(51, 22), QPointF(51, 58), QColor(56, 161, 72), 7);
                break;
            case PanelPicture::PlatePrefix:
                plate();
                break;
            case PanelPicture::Restore:
                cylinder(QRectF(6, 8, 36, 46), QColor(52, 101, 164), QColor(114, 159, 207));
                circularArrow();
                break;
            case PanelPicture::ShopProfile:
                shopFront();
                break;
            case PanelPicture::Printer:
                printer();
                break;
            case PanelPicture::Connection:
                connection();
                break;
        }
    }

private:
    void importSheet() {
        QPainterPath sheet;
        sheet.addRoundedRect(QRectF(6, 6, 38, 48), 3, 3);
        fill(sheet, Qt::white, QColor(33, 115, 70), 2);
        QPainterPath header;
        header.addRect(QRectF(7, 7, 36, 9));
        fill(header, QColor(33, 115, 70));
        for (int row = 1; row <= 3; ++row) {
            line(QPointF(10, 16 + row * 9), QPointF(40, 16 + row * 9), QColor(140, 190, 160), 1.5);
        }
        line(QPointF(20, 17), QPointF(20, 52), QColor(140, 190, 160), 1.5);
        arrow(QPointF(30, 40), QPointF(58, 40), QColor(46, 117, 182), 7);
    }

    void technician() {
        person(QPointF(26, 32), 40, QColor(46, 117, 182));
        // A spanner across the lower right corner.
        const QColor steel(110, 110, 120);
        line(QPointF(36, 58), QPointF(52, 42), steel, 6);
        QPainterPath jaw;
        jaw.addEllipse(QPointF(54, 40), 8, 8);
        QPainterPath gap;
        gap.addRect(QRectF(53, 29, 6, 11));
        QTransform turn;
        turn.translate(54, 40);
        turn.rotate(45);
        turn.translate(-54, -40);
        fill(jaw.subtracted(turn.map(gap)), steel);
    }

    void priceList() {
        QPainterPath board;
        board.addRoundedRect(QRectF(10, 8, 40, 52), 4, 4);
        fill(board, QColor(176, 124, 72));
        QPainterPath paper;
        paper.addRect(QRectF(14, 14, 32, 42));
        fill(paper, Qt::white);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(21, 4, 18, 9), 3, 3);
        fill(clip, QColor(140, 140, 150));
        for (int row = 0; row < 4; ++row) {
            const qreal y = 22 + row * 8;
            line(QPointF(18, y), QPointF(20, y), QColor(46, 117, 182), 3);
            line(QPointF(24, y), QPointF(41, y), QColor(120, 120, 120), 2);
        }
        QPainterPath coin;
        coin.addEllipse(QPointF(49, 50), 11, 11);
        fill(coin, QColor(242, 169, 0), Qt::white, 2);
        // The yuan sign, drawn so it needs no font.
        const QColor mark = Qt::white;
        line(QPointF(44.5, 43), QPointF(49, 49), mark, 2.4);
        line(QPointF(53.5, 43), QPointF(49, 49), mark, 2.4);
        line(QPointF(49, 49), QPointF(49, 57), mark, 2.4);
        line(QPointF(45, 50), QPointF(53, 50), mark, 2);
        line(QPointF(45, 54), QPointF(53, 54), mark, 2);
    }

    void padlock() {
        p_->setBrush(Qt::NoBrush);
        p_->setPen(QPen(color(QColor(130, 130, 140)), 6, Qt::SolidLine, Qt::FlatCap));
        QPainterPath shackle;
        shackle.moveTo(20, 30);
        shackle.lineTo(20, 20);
        shackle.arcTo(QRectF(20, 6, 24, 28), 180, -180);
        shackle.lineTo(44, 30);
        p_->drawPath(shackle);
        QPainterPath body;
        body.addRoundedRect(QRectF(12, 28, 40, 30), 5, 5);
        fill(body, QColor(242, 169, 0), QColor(190, 130, 0), 1.5);
        QPainterPath hole;
        hole.addEllipse(QPointF(32, 40), 4.5, 4.5);
        hole.addRect(QRectF(30, 41, 4, 10));
        fill(hole.simplified(), QColor(80, 60, 20));
    }

    void plate() {
        QPainterPath outer;
        outer.addRoundedRect(QRectF(3, 16, 58, 32), 4, 4);
        fill(outer, QColor(0, 71, 171));
        QPainterPath inner;
        inner.addRoundedRect(QRectF(6, 19, 52, 26), 2.5, 2.5);
        p_->setBrush(Qt::NoBrush);
        p_->setPen(QPen(color(Qt::white), 1.5));
        p_->drawPath(inner);
        // Two characters and a dot, drawn as strokes so they need no font.
        const QColor ink = Qt::white;
        // A plain "A".
        line(QPointF(12, 40), QPointF(17, 24), ink, 2.6);
        line(QPointF(17, 24), QPointF(22, 40), ink, 2.6);
        line(QPointF(14, 34), QPointF(20, 34), ink, 2.2);
        QPainterPath dot;
        dot.addEllipse(QPointF(27, 32), 1.8, 1.8);
        fill(dot, ink);
        // Three digit-like blocks.
        for (int i = 0; i < 3; ++i) {
            QPainterPath digit;
            const qreal x = 32 + i * 8.5;
            digit.addRoundedRect(QRectF(x, 25, 6, 14), 2, 2);
            p_->setBrush(Qt::NoBrush);
            p_->setPen(QPen(color(ink), 2.2));
            p_->drawPath(digit);
        }
    }

    // A shop with a striped awning, a door and a window.
    void shopFront() {
        QPainterPath wall;
        wall.addRect(QRectF(9, 26, 46, 32));
        fill(wall, QColor(236, 229, 214), QColor(150, 120, 90), 1.5);
        for (int stripe = 0; stripe < 6; ++stripe) {
            QPainterPath piece;
            const qreal x = 5 + stripe * 9;
            piece.moveTo(x, 12);
            piece.lineTo(x + 9, 12);
            piece.lineTo(x + 9, 24);
            piece.arcTo(QRectF(x, 19.5, 9, 9), 0, -180);
            piece.closeSubpath();
            fill(piece, stripe % 2 == 0 ? QColor(200, 55, 45) : QColor(250, 250, 250),
                 QColor(160, 40, 35), 1);
        }
        QPainterPath door;
        door.addRect(QRectF(14, 36, 14, 22));
        fill(door, QColor(46, 117, 182));
        QPainterPath window;
        window.addRect(QRectF(33, 36, 17, 13));
        fill(window, QColor(170, 210, 240), QColor(46, 117, 182), 1.5);
    }

    // A printer with a sheet coming out of it.
    void printer() {
        QPainterPath sheetIn;
        sheetIn.addRect(QRectF(18, 6, 28, 18));
        fill(sheetIn, Qt::white, QColor(120, 120, 130), 1.5);
        QPainterPath body;
        body.addRoundedRect(QRectF(6, 22, 52, 24), 4, 4);
        fill(body, QColor(90, 95, 110));
        QPainterPath lamp;
        lamp.addEllipse(QPointF(50, 29), 2.2, 2.2);
        fill(lamp, QColor(56, 161, 72));
        QPainterPath sheetOut;
        sheetOut.addRect(QRectF(16, 38, 32, 20));
        fill(sheetOut, Qt::white, QColor(120, 120, 130), 1.5);
        for (int row = 0; row < 3; ++row) {
            const qreal y = 44 + row * 4.5;
            line(QPointF(21, y), QPointF(43, y), QColor(140, 140, 150), 1.5);
        }
    }

    // A database with two workstations wired to it.
    void connection() {
        const QColor wire(90, 95, 110);
        line(QPointF(24, 30), QPointF(46, 16), wire, 2.5);
        line(QPointF(24, 30), QPointF(46, 46), wire, 2.5);
        cylinder(QRectF(4, 12, 26, 38), QColor(52, 101, 164), QColor(114, 159, 207));
        for (const qreal top : {6.0, 36.0}) {
            QPainterPath screen;
            screen.addRoundedRect(QRectF(38, top, 22, 15), 2, 2);
            fill(screen, QColor(170, 210, 240), wire, 2);
            line(QPointF(49, top + 15), QPointF(49, top + 19), wire, 2.5);
            line(QPointF(43, top + 20), QPointF(55, top + 20), wire, 2.5);
        }
    }

    void circularArrow() {
        const QColor c(230, 126, 34);
        const QRectF ring(36, 30, 24, 24);
        QPainterPath arc;
        arc.arcMoveTo(ring, 120);
        arc.arcTo(ring, 120, 270);
        p_->setBrush(Qt::NoBrush);
        p_->setPen(QPen(color(c), 5, Qt::SolidLine, Qt::FlatCap));
        p_->drawPath(arc);
        // The head at the arc's start, pointing back against the sweep.
        const QPointF tip = arc.pointAtPercent(0);
        QPainterPath head;
        head.moveTo(tip + QPointF(-7, -3));
        head.lineTo(tip + QPointF(5, -6));
        head.lineTo(tip + QPointF(1, 6));
        head.closeSubpath();
        fill(head, c);
    }

    QPainter* p_;
    bool disabled_;
};

class PictogramEngine : public QIconEngine {
public:
    explicit PictogramEngine(PanelPicture picture) : picture_(picture) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const qreal side = qMin(rect.width(), rect.height());
        painter->translate(rect.x() + (rect.width() - side) / 2.0,
                           rect.y() + (rect.height() - side) / 2.0);
        painter->scale(side / kCanvas, side / kCanvas);
        Pictogram(painter, mode == QIcon::Disabled).draw(picture_);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, pixmap.rect(), mode, state);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QIconEngine* clone() const override { return new PictogramEngine(picture_); }

private:
    PanelPicture picture_;
};

}  // namespace

QIcon PanelIcon(PanelPicture picture) {
    return QIcon(new PictogramEngine(picture));
}
