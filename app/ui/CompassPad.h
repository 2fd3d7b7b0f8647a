#pragma once

#include <QSizeF>
#include <QWidget>

namespace velorin {

class AppModel;
class CompassDial;
class SymbolButton;

// The floating control that turns the view: the compass dial, and below it three buttons
// that turn the view in place by a sixteenth of a turn either way or by half a turn.
// Every press first keeps the map controls shown. GUI thread only.
class CompassPad : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPaddingPoints = 6;
    static constexpr int kRowSpacingPoints = 2;

    CompassPad(AppModel& model, QWidget* parent);

    CompassDial& dial() const { return *dial_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SymbolButton* turnButton(QSizeF frame, double radians, const char* accessibleName);

    AppModel& model_;
    CompassDial* dial_;
};

} // namespace velorin
