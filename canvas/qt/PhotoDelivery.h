#pragma once

#include "canvas/qt/PhotoThumbnail.h"
#include "platform/Executor.h"
#include "platform/MainQueue.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSizeF>

#include <functional>
#include <optional>

namespace velorin {

// Reads a picture on `queue` (the disk and the decoding stay off the GUI thread) and hands
// it to `deliver` on the GUI thread through `main`: a null image and an empty size when
// nothing was read. Once `receiver` is gone, nothing is delivered. Called on the GUI
// thread; `main` must outlive every read that `queue` may still run.
void deliverPhoto(platform::Executor& queue, platform::MainQueue& main, QPointer<QObject> receiver,
    std::function<std::optional<FittedPhoto>()> read, std::function<void(QImage image, QSizeF exactSize)> deliver);

} // namespace velorin
