#pragma once

#include <QFont>
#include <QPointF>
#include <QWidget>

#include <optional>

namespace velorin {

class AppModel;

// The round dial of the compass pad. Its ring turns with the map's bearing; dragging on
// the ring orbits the view about the aimed point, dragging on the centre turns it in place,
// and a click brings north up, then switches heading following. Every gesture first keeps
// the map controls shown. GUI thread only.
class CompassDial : public QWidget {
    Q_OBJECT

public:
    static constexpr double kSizePoints = 84;
    static constexpr double kRingInnerRadiusPoints = 24;
    // A drag that starts farther than this from the centre grabs the ring.
    static constexpr double kGrabRadiusPoints = 21;
    // A press that moves less than this is a click.
    static constexpr double kDragMinimumPoints = 2;

    CompassDial(AppModel& model, QWidget* parent);

    // The ring's "N": heavy, rounded.
    static QFont northFont();

    // What the drag in progress grabbed: true for the ring, false for the centre; nothing
    // while no drag is in progress.
    std::optional<bool> grabbedOuter() const { return grabbedOuter_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void refresh();
    void dragChanged(QPointF location, QPointF start);

    AppModel& model_;
    std::optional<bool> grabbedOuter_;
    // Radians: the pointer's angle about the centre at the previous drag event.
    double lastAngle_ = 0;
    std::optional<QPointF> pressLocation_;
    bool dragging_ = false;
};

} // namespace velorin
