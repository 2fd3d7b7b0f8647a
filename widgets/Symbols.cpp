#include "widgets/Symbols.h"

#include "platform/Log.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>
#include <QStringList>

#include <algorithm>
#include <array>
#include <utility>

namespace velorin {

namespace {

struct Entry {
    std::string_view name;
    char32_t codepoint;
};

// The icon font's codepoints, as its 1.6.50 style sheet names them (mdi-…).
constexpr std::array kTable {
    Entry { "wifi.slash", 0xF5AA }, // wifi-off
    Entry { "chevron.right", 0xF142 }, // chevron-right
    Entry { "eye", 0xF208 }, // eye
    Entry { "arrow.counterclockwise", 0xF465 }, // rotate-left
    Entry { "arrow.clockwise", 0xF467 }, // rotate-right
    Entry { "apple.logo", 0xF035 }, // apple
    Entry { "photo.on.rectangle.angled.fill", 0xF2F9 }, // image-multiple
    Entry { "photo.on.rectangle.angled", 0xF2EF }, // image-filter
    Entry { "globe.europe.africa.fill", 0xF1E7 }, // earth
    Entry { "globe.europe.africa", 0xF59F }, // web
    Entry { "satellite", 0xF471 }, // satellite-variant
    Entry { "tree.fill", 0xF406 }, // pine-tree-box
    Entry { "tree", 0xF405 }, // pine-tree
    Entry { "tag.fill", 0xF4F9 }, // tag
    Entry { "tag", 0xF4FC }, // tag-outline
    Entry { "camera", 0xF100 }, // camera
    Entry { "camera.fill", 0xF101 }, // camera-enhance
    Entry { "plus", 0xF415 }, // plus
    Entry { "minus", 0xF374 }, // minus
    Entry { "stop.fill", 0xF4DB }, // stop
    Entry { "play.fill", 0xF40A }, // play
    Entry { "gearshape", 0xF493 }, // settings
    Entry { "view.3d", 0xF1A7 }, // cube-outline
    Entry { "location.fill", 0xF1A4 }, // crosshairs-gps
    Entry { "location", 0xF1A3 }, // crosshairs
    Entry { "location.north.line.fill", 0xF390 }, // navigation
    Entry { "figure.walk", 0xF583 }, // walk
    Entry { "point.topleft.down.to.point.bottomright.curvepath", 0xF46A }, // routes
    Entry { "person.crop.circle.fill", 0xF009 }, // account-circle
    Entry { "person.crop.circle", 0xF013 }, // account-outline
    Entry { "wifi.exclamationmark", 0xF02A }, // alert-outline
    Entry { "mountain.2.fill", 0xF2F5 }, // image-filter-hdr
    Entry { "arrow.down.circle.fill", 0xF047 }, // arrow-down-bold-circle
    Entry { "checkmark.circle.fill", 0xF5E0 }, // check-circle
    Entry { "map", 0xF34D }, // map
    Entry { "exclamationmark.circle", 0xF028 }, // alert-circle
    Entry { "info.circle", 0xF2FD }, // information-outline
    Entry { "xmark", 0xF156 }, // close
    Entry { "magnifyingglass", 0xF349 }, // magnify
    Entry { "xmark.circle.fill", 0xF159 }, // close-circle
    Entry { "arrow.up", 0xF05D }, // arrow-up
    Entry { "paperplane", 0xF48A }, // send
    Entry { "mountain.2", 0xF509 }, // terrain
    Entry { "triangle", 0xF537 }, // triangle-outline
    Entry { "arrow.left.and.right", 0xF4E1 }, // swap-horizontal
    Entry { "house", 0xF2DC }, // home
    Entry { "binoculars", 0xF0A5 }, // binoculars
    Entry { "mappin", 0xF34E }, // map-marker
    Entry { "map.fill", 0xF328 }, // layers
    Entry { "photo", 0xF2E9 }, // image
    Entry { "photo.artframe", 0xF2F4 }, // image-filter-frames
    Entry { "photo.on.rectangle", 0xF2EB }, // image-area
    Entry { "photo.stack", 0xF2F6 }, // image-filter-none
    Entry { "checkmark", 0xF12C }, // check
    Entry { "exclamationmark.triangle.fill", 0xF026 }, // alert
    Entry { "pause.fill", 0xF3E4 }, // pause
    Entry { "figure.hiking", 0xF46E }, // run
    Entry { "binoculars.fill", 0xF1E2 }, // drone
    Entry { "arrow.uturn.backward", 0xF54C }, // undo
    Entry { "signpost.and.arrowtriangle.up", 0xF352 }, // map-marker-radius
    Entry { "safari", 0xF18C }, // compass-outline
    Entry { "angle", 0xF1EC }, // elevation-rise
    Entry { "plus.magnifyingglass", 0xF34B }, // magnify-plus
    Entry { "camera.aperture", 0xF104 }, // camera-iris
    Entry { "doc.on.doc", 0xF18F }, // content-copy
    Entry { "figure.stand", 0xF64B }, // human-handsdown
    Entry { "bicycle", 0xF0A3 }, // bike
    Entry { "car.fill", 0xF10B }, // car
    Entry { "arrow.up.forward", 0xF05C }, // arrow-top-right
    Entry { "clock", 0xF150 }, // clock
    Entry { "speedometer", 0xF4C5 }, // speedometer
    Entry { "pencil", 0xF3EB }, // pencil
    Entry { "square.and.arrow.down", 0xF1DA }, // download
    Entry { "square.and.arrow.up", 0xF552 }, // upload
    Entry { "airplane", 0xF01D }, // airplane
    Entry { "scissors", 0xF190 }, // content-cut
    Entry { "trash", 0xF1C0 }, // delete
    Entry { "arrow.up.and.down", 0xF4E2 }, // swap-vertical
    Entry { "chevron.left", 0xF141 }, // chevron-left
    Entry { "folder", 0xF256 }, // folder-outline
    Entry { "film", 0xF22F }, // film
};

// The font's family, or empty when it could not be loaded; loaded and logged once.
const QString& family()
{
    static const QString loaded = [] {
        const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(Symbols::kFontFile.data(),
            qsizetype(Symbols::kFontFile.size())));
        const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty()) {
            platform::Log::warning(Symbols::kLogCategory, "police de symboles introuvable : {}", Symbols::kFontFile);
            return QString();
        }
        return families.front();
    }();
    return loaded;
}

} // namespace

const std::vector<std::string_view>& Symbols::names()
{
    static const std::vector<std::string_view> all = [] {
        std::vector<std::string_view> result;
        for (const Entry& entry : kTable)
            result.push_back(entry.name);
        return result;
    }();
    return all;
}

QString Symbols::glyph(std::string_view name)
{
    if (!isAvailable())
        return {};
    const auto* entry = std::find_if(kTable.begin(), kTable.end(), [name](const Entry& e) { return e.name == name; });
    if (entry == kTable.end())
        return {};
    return QString::fromUcs4(&entry->codepoint, 1);
}

QFont Symbols::font(double pixelSize, QFont::Weight weight)
{
    QFont font;
    if (isAvailable())
        font = QFont(family());
    font.setPixelSize(std::max(1, int(pixelSize + 0.5)));
    font.setWeight(weight);
    return font;
}

QIcon Symbols::icon(std::string_view name, double pixelSize, const QColor& color)
{
    const QString symbol = glyph(name);
    if (symbol.isEmpty())
        return {};
    const int side = std::max(1, int(pixelSize + 0.5));
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(color);
    painter.setFont(font(pixelSize, QFont::Normal));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, symbol);
    painter.end();
    return QIcon(pixmap);
}

bool Symbols::isAvailable()
{
    return !family().isEmpty();
}

} // namespace velorin
