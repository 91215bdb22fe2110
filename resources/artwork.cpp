// The program's pictures, drawn in code: the window icons, the two toolbar
// bitmaps (high colour and sixteen colour), and the pictures of the command
// dialogs.

#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "platform/qt/images.h"
#include "resources/resource.h"

namespace {

// The sixteen colours of the old palette, for the 16-colour toolbar.
struct Palette {
    QColor black, darkRed, darkGreen, olive, navy, purple, teal, silver, grey, red, green, yellow, blue, magenta, cyan,
        white;
    bool smooth;
};

const Palette kHiColour{QColor(20, 20, 20),   QColor(170, 40, 30),   QColor(40, 130, 50),  QColor(190, 150, 40),
                        QColor(30, 70, 160),  QColor(130, 60, 150),  QColor(30, 140, 150), QColor(205, 205, 205),
                        QColor(120, 120, 120), QColor(225, 60, 50),  QColor(70, 185, 80),  QColor(250, 210, 70),
                        QColor(60, 120, 220), QColor(220, 90, 200),  QColor(90, 200, 220), QColor(255, 255, 255),
                        true};
const Palette kSixteen{Qt::black,   QColor(128, 0, 0),     QColor(0, 128, 0), QColor(128, 128, 0),
                       QColor(0, 0, 128), QColor(128, 0, 128), QColor(0, 128, 128), QColor(192, 192, 192),
                       QColor(128, 128, 128), Qt::red,   Qt::green,         Qt::yellow,
                       Qt::blue,    Qt::magenta,           Qt::cyan,          Qt::white,
                       false};

void Page(QPainter& p, const Palette& c, QRectF r) {
    p.setPen(QPen(c.grey, 1));
    p.setBrush(c.white);
    p.drawRect(r);
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& col) {
    p.setPen(QPen(col, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    QLineF l(to, from);
    QLineF a = l;
    a.setLength(3.5);
    a.setAngle(l.angle() + 35);
    QLineF b = l;
    b.setLength(3.5);
    b.setAngle(l.angle() - 35);
    p.drawLine(a);
    p.drawLine(b);
}

void TurnArrow(QPainter& p, QRectF r, const QColor& col, bool clockwise) {
    p.setPen(QPen(col, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(r, clockwise ? 120 * 16 : 60 * 16, clockwise ? -270 * 16 : 270 * 16);
    // The head at the arc's end.
    QPointF c = r.center();
    double rad = r.width() / 2;
    double endDeg = clockwise ? 120 - 270 : 60 + 270;
    double t = qDegreesToRadians(endDeg);
    QPointF end(c.x() + rad * std::cos(t), c.y() - rad * std::sin(t));
    p.setBrush(col);
    p.setPen(Qt::NoPen);
    QPolygonF head;
    double dir = t + (clockwise ? -M_PI / 2 : M_PI / 2);
    QPointF fwd(std::cos(dir), -std::sin(dir));
    QPointF side(-fwd.y(), fwd.x());
    head << end + fwd * 3.0 << end + side * 2.6 << end - side * 2.6;
    p.drawPolygon(head);
}

void Cube(QPainter& p, const Palette& c, QRectF r, const QColor& face) {
    double d = r.width() * 0.3;
    QPolygonF front, top, side;
    front << QPointF(r.left(), r.top() + d) << QPointF(r.right() - d, r.top() + d) << QPointF(r.right() - d, r.bottom())
          << QPointF(r.left(), r.bottom());
    top << QPointF(r.left(), r.top() + d) << QPointF(r.left() + d, r.top()) << QPointF(r.right(), r.top())
        << QPointF(r.right() - d, r.top() + d);
    side << QPointF(r.right() - d, r.top() + d) << QPointF(r.right(), r.top()) << QPointF(r.right(), r.bottom() - d)
         << QPointF(r.right() - d, r.bottom());
    p.setPen(QPen(c.black, 1));
    p.setBrush(face);
    p.drawPolygon(front);
    p.setBrush(face.lighter(130));
    p.drawPolygon(top);
    p.setBrush(face.darker(130));
    p.drawPolygon(side);
}

void DrawCommand(QPainter& p, const Palette& c, unsigned cmd) {
    switch (cmd) {
    case ID_FILE_OPEN: {
        p.setPen(QPen(c.olive, 1));
        p.setBrush(c.yellow);
        QPolygonF back;
        back << QPointF(1.5, 3.5) << QPointF(6, 3.5) << QPointF(7.5, 5) << QPointF(13.5, 5) << QPointF(13.5, 13.5)
             << QPointF(1.5, 13.5);
        p.drawPolygon(back);
        QPolygonF front;
        front << QPointF(1.5, 13.5) << QPointF(4, 7.5) << QPointF(15.5, 7.5) << QPointF(13.5, 13.5);
        p.setBrush(c.yellow.lighter(115));
        p.drawPolygon(front);
        break;
    }
    case ID_FILE_SAVE: {
        p.setPen(QPen(c.navy, 1));
        p.setBrush(c.blue);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(c.white);
        p.drawRect(QRectF(4, 1.5, 8, 5.5));
        p.setBrush(c.silver);
        p.drawRect(QRectF(4, 9.5, 8, 5));
        p.setPen(QPen(c.navy, 1.5));
        p.drawLine(QPointF(10, 3), QPointF(10, 5.5));
        break;
    }
    case ID_EDIT_COPY:
        Page(p, c, QRectF(1.5, 1.5, 8, 10));
        Page(p, c, QRectF(6.5, 4.5, 8, 10));
        p.setPen(QPen(c.navy, 1));
        for (double y = 7.5; y < 13; y += 2) p.drawLine(QPointF(8, y), QPointF(13, y));
        break;
    case ID_EDIT_FLIPMODELS: {
        p.setPen(QPen(c.grey, 1, Qt::DashLine));
        p.drawLine(QPointF(8, 1), QPointF(8, 15));
        p.setPen(QPen(c.black, 1));
        p.setBrush(c.blue);
        QPolygonF l;
        l << QPointF(6.5, 3) << QPointF(6.5, 13) << QPointF(1, 13);
        p.drawPolygon(l);
        p.setBrush(c.cyan);
        QPolygonF r;
        r << QPointF(9.5, 3) << QPointF(9.5, 13) << QPointF(15, 13);
        p.drawPolygon(r);
        break;
    }
    case ID_EDIT_MOVEMODELS:
        Arrow(p, QPointF(8, 8), QPointF(8, 1.5), c.darkGreen);
        Arrow(p, QPointF(8, 8), QPointF(8, 14.5), c.darkGreen);
        Arrow(p, QPointF(8, 8), QPointF(1.5, 8), c.darkGreen);
        Arrow(p, QPointF(8, 8), QPointF(14.5, 8), c.darkGreen);
        break;
    case ID_EDIT_REORIENT:
        TurnArrow(p, QRectF(1.5, 1.5, 13, 13), c.purple, true);
        p.setPen(QPen(c.black, 1));
        p.setBrush(c.magenta);
        p.drawRect(QRectF(5.5, 5.5, 5, 5));
        break;
    case ID_EDIT_ROTATEMODELS:
        TurnArrow(p, QRectF(2, 2, 12, 12), c.darkRed, true);
        break;
    case ID_EDIT_MEASUREMODEL: {
        p.save();
        p.translate(8, 8);
        p.rotate(-35);
        p.setPen(QPen(c.olive, 1));
        p.setBrush(c.yellow);
        p.drawRect(QRectF(-8, -3, 16, 6));
        p.setPen(QPen(c.black, 1));
        for (int k = -6; k <= 6; k += 2) p.drawLine(QPointF(k, -3), QPointF(k, k % 4 == 0 ? 0.5 : -1));
        p.restore();
        break;
    }
    case ID_EDIT_SCALEMODELS:
        p.setPen(QPen(c.grey, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(c.black, 1));
        p.setBrush(c.green);
        p.drawRect(QRectF(1.5, 9.5, 5, 5));
        Arrow(p, QPointF(7, 9), QPointF(13.5, 2.5), c.darkGreen);
        break;
    case ID_EDIT_MERGEMODELS:
        Arrow(p, QPointF(2, 2), QPointF(8, 9), c.navy);
        Arrow(p, QPointF(14, 2), QPointF(8, 9), c.navy);
        p.setPen(QPen(c.navy, 1.6));
        p.drawLine(QPointF(8, 9), QPointF(8, 15));
        break;
    case ID_EDIT_SETTRANSPARENCY: {
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) p.fillRect(QRectF(x * 4, y * 4, 4, 4), (x + y) % 2 ? c.silver : c.white);
        QColor glass = c.blue;
        if (c.smooth) glass.setAlpha(140);
        p.setPen(QPen(c.navy, 1));
        p.setBrush(c.smooth ? QBrush(glass) : QBrush(c.blue, Qt::Dense4Pattern));
        p.drawRect(QRectF(3.5, 3.5, 9, 9));
        break;
    }
    case ID_EDIT_REPLACETEXTURE:
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                p.fillRect(QRectF(1 + x * 3.5, 1 + y * 3.5, 3.5, 3.5), (x + y) % 2 ? c.darkRed : c.yellow);
        p.setPen(QPen(c.black, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0.5, 0.5, 15, 15));
        break;
    case ID_APP_ABOUT: {
        p.setPen(QPen(c.navy, 1));
        p.setBrush(c.blue);
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        QFont f = p.font();
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.setPen(c.white);
        p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case ID_CONTEXT_HELP: {
        QPolygonF cursor;
        cursor << QPointF(1.5, 1.5) << QPointF(1.5, 12) << QPointF(4, 9.5) << QPointF(6, 14) << QPointF(7.5, 13.5)
               << QPointF(5.5, 9) << QPointF(9, 9);
        p.setPen(QPen(c.black, 1));
        p.setBrush(c.white);
        p.drawPolygon(cursor);
        QFont f = p.font();
        f.setPixelSize(10);
        f.setBold(true);
        p.setFont(f);
        p.setPen(c.blue);
        p.drawText(QRectF(8, 0, 8, 10), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    default: break;
    }
}

QPixmap ToolbarImage(const Palette& c, unsigned cmd) {
    switch (cmd) {
    case ID_FILE_OPEN:
    case ID_FILE_SAVE:
    case ID_EDIT_COPY:
    case ID_EDIT_FLIPMODELS:
    case ID_EDIT_MOVEMODELS:
    case ID_EDIT_REORIENT:
    case ID_EDIT_ROTATEMODELS:
    case ID_EDIT_MEASUREMODEL:
    case ID_EDIT_SCALEMODELS:
    case ID_EDIT_MERGEMODELS:
    case ID_EDIT_SETTRANSPARENCY:
    case ID_EDIT_REPLACETEXTURE:
    case ID_APP_ABOUT:
    case ID_CONTEXT_HELP: break;
    default: return {};
    }
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, c.smooth);
    p.setRenderHint(QPainter::TextAntialiasing, c.smooth);
    DrawCommand(p, c, cmd);
    return pm;
}

// The icons: the program's (a model), an archive's (a page with a model), a report's (a page of lines).
QPixmap IconImage(unsigned id, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    const Palette& c = kHiColour;
    switch (id) {
    case IDR_MAINFRAME:
        Cube(p, c, QRectF(3, 5, 26, 24), QColor(210, 120, 40));
        p.setPen(QPen(c.navy, 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 27), QPointF(20, 12));
        break;
    case IDR_DATFILETYPE:
        Page(p, c, QRectF(4.5, 1.5, 22, 29));
        Cube(p, c, QRectF(9, 10, 14, 14), QColor(60, 120, 220));
        break;
    case IDR_REPORTTYPE:
        Page(p, c, QRectF(4.5, 1.5, 22, 29));
        p.setPen(QPen(c.grey, 1.5));
        for (int y = 7; y < 28; y += 4) p.drawLine(QPointF(8, y), QPointF(y % 8 ? 23 : 18, y));
        break;
    }
    return pm;
}

QIcon Icon(unsigned id) {
    QIcon icon;
    for (int s : {16, 24, 32, 48}) icon.addPixmap(IconImage(id, s));
    return icon;
}

// The pictures of the flip dialog: an arrowed triangle and its flipped,
// mirrored or inverted copy.
QIcon FlipPicture(unsigned id) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const Palette& c = kHiColour;
    QPolygonF shape;
    shape << QPointF(4, 26) << QPointF(14, 26) << QPointF(4, 8);
    p.setPen(QPen(c.black, 1));
    p.setBrush(c.blue);
    p.drawPolygon(shape);
    QTransform t;
    p.setPen(QPen(c.grey, 1, Qt::DashLine));
    if (id == IDI_MIRROR) {
        p.drawLine(QPointF(16, 2), QPointF(16, 30));
        t = QTransform(-1, 0, 0, 1, 32, 0);
    } else if (id == IDI_FLIP) {
        p.drawLine(QPointF(2, 28), QPointF(30, 4));
        t = QTransform().translate(18, 0);
        t = QTransform(1, 0, 0, -1, 14, 34);
    } else {
        p.drawLine(QPointF(2, 17), QPointF(30, 17));
        t = QTransform(1, 0, 0, -1, 16, 34);
    }
    p.setPen(QPen(c.black, 1));
    p.setBrush(c.cyan);
    p.drawPolygon(t.map(shape));
    return QIcon(pm);
}

QPixmap LightBulb() {
    QPixmap pm(20, 26);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(8, 7), 9);
    g.setColorAt(0, QColor(255, 255, 210));
    g.setColorAt(1, QColor(245, 200, 40));
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(2.5, 1.5, 15, 15));
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(QRectF(6.5, 16, 7, 6));
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.drawLine(QPointF(6.5, 18.5), QPointF(13.5, 18.5));
    p.drawLine(QPointF(6.5, 20.5), QPointF(13.5, 20.5));
    p.drawLine(QPointF(8.5, 23.5), QPointF(11.5, 23.5));
    return pm;
}

}  // namespace

namespace kv {

void RegisterKorvaneArtwork() {
    for (unsigned id : {IDR_MAINFRAME, IDR_DATFILETYPE, IDR_REPORTTYPE}) RegisterIcon(id, [id] { return Icon(id); });
    for (unsigned id : {IDI_FLIP, IDI_MIRROR, IDI_INVERT}) RegisterIcon(id, [id] { return FlipPicture(id); });
    RegisterBitmap(IDB_LIGHTBULB, [] { return LightBulb(); });
    RegisterToolbarImages(IDR_MAINFRAME_256, [](unsigned cmd) { return ToolbarImage(kHiColour, cmd); });
    RegisterToolbarImages(IDR_MAINFRAME, [](unsigned cmd) { return ToolbarImage(kSixteen, cmd); });
}

}  // namespace kv
