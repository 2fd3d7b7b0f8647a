#pragma once

#include <QAbstractButton>
#include <QImage>

namespace velorin {

// A round photo pin over the map: a white-ringed disc showing the camera symbol until the
// photo's thumbnail replaces it, filling the disc. A click is the button's. GUI thread only.
class PhotoPin : public QAbstractButton {
public:
    static constexpr double kBorderPoints = 2;
    static constexpr double kSymbolPoints = 13;

    PhotoPin(double sizePoints, const QString& accessibleText, QWidget* parent);

    // The thumbnail, cut square; it replaces the symbol.
    void setThumbnail(QImage image);
    const QImage& thumbnail() const { return thumbnail_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage thumbnail_;
};

} // namespace velorin
