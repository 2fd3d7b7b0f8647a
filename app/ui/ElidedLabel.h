#pragma once

#include <QLabel>

namespace velorin {

// A one-line label that asks for the room of its whole text but, given less, shows as much
// as fits followed by "…". GUI thread only.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The text to show, whole or elided; `text()` is what is shown now.
    void setFullText(const QString& text);
    const QString& fullText() const { return fullText_; }

    QSize sizeHint() const override;
    // Room for the ellipsis alone.
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString fullText_;
};

} // namespace velorin
