#pragma once

#include "platform/Executor.h"
#include "platform/MainQueue.h"
#include "recordings/TrackPhoto.h"

#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;

namespace velorin {

class PhotoPage;

// The photo viewer over the whole window: photos paged one at a time on black under a bar
// titled by the shown photo's date and time, with "Fermer". Left and Right page, and so do a
// click on the left or right half of the page, the wheel and a click on a page dot; Escape
// and "Fermer" ask `dismiss` to close it; dots under the page tell where it is among two
// photos or more. The pages are read on `decodes` and come back through `main`. GUI thread
// only; `decodes` and `main` outlive it.
class PhotoViewer : public QWidget {
public:
    static constexpr int kBarHeightPoints = 44;
    static constexpr int kBarPaddingPoints = 16;
    static constexpr int kTitlePoints = 15;
    static constexpr int kDotsStripPoints = 28;
    static constexpr double kDotPoints = 7;
    static constexpr double kDotSpacingPoints = 9;
    // Wheel travel, in eighths of a degree, that turns one page: a notch of a common mouse.
    static constexpr int kWheelUnitsPerPage = 120;

    // `index`: the page shown first; `pictures`: the folder the photos' ids are paths in.
    PhotoViewer(std::vector<TrackPhoto> photos, int index, std::filesystem::path pictures,
        platform::Executor& decodes, platform::MainQueue& main, std::function<void()> dismiss, QWidget* parent = nullptr);

    const std::vector<TrackPhoto>& photos() const { return photos_; }
    int index() const { return index_; }
    // Shows the page at `index`; the keys keep it within the list.
    void setIndex(int index);
    // The shown photo's date, "1 mai 2024 à 10:05"; empty when the index is outside the list.
    QString title() const;
    bool showsPageDots() const { return photos_.size() >= 2; }
    // The dot of page `index` in the viewer.
    QRectF dotRect(std::size_t index) const;
    PhotoPage& page() const { return *page_; }
    QPushButton& closeButton() const { return *close_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Pages by `step` within the list.
    void turn(int step);
    // The page whose dot is at `point` (the whole height of the strip counts); none elsewhere.
    std::optional<int> dotAt(QPointF point) const;
    std::vector<TrackPhoto> photos_;
    int index_;
    std::function<void()> dismiss_;
    // Where the left button went down, for the click its release makes.
    std::optional<QPointF> pressedAt_;
    // Wheel travel not yet turned into a page.
    int wheelUnits_ = 0;
    QLabel* title_;
    QPushButton* close_;
    // One page, given each photo in turn: only the photo on screen is held.
    PhotoPage* page_;
};

} // namespace velorin
