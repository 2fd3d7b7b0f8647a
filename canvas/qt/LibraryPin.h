#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace velorin {

class PhotoPin;

// The pin of a group of library photos: a photo pin for the group's first photo and, for
// two photos or more, a blue count badge over its top-right corner. The widget reaches
// kOverflowPoints beyond the pin on every side so that the badge can stand out of it; its
// mask keeps the pointer on the map outside the pin and the badge. GUI thread only.
class LibraryPin : public QWidget {
public:
    static constexpr double kPinPoints = 34;
    static constexpr int kOverflowPoints = 24;
    static constexpr int kBadgeHeightPoints = 18;
    static constexpr int kMinBadgeWidthPoints = 18;
    static constexpr int kBadgePaddingPoints = 8;
    static constexpr double kBadgeTextPoints = 11;
    // The badge's centre, this far inside the pin's top-right corner on both axes.
    static constexpr int kBadgeInsetPoints = 2;

    LibraryPin(const QString& accessibleText, QWidget* parent);

    PhotoPin& pin() const { return *pin_; }
    QLabel& badge() const { return *badge_; }
    // The count shown, or none (hidden) when empty; what the pin reads out.
    void setBadge(const QString& text, const QString& accessibleText);

private:
    PhotoPin* pin_;
    QLabel* badge_;
};

} // namespace velorin
