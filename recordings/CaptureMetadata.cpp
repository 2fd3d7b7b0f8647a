#include "recordings/CaptureMetadata.h"

#include "platform/JsonText.h"
#include "platform/ReferenceDate.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>

namespace velorin::capture_metadata {

namespace {

using Json = nlohmann::json;

constexpr std::array<std::pair<const char*, double CameraPose::*>, 8> kPoseFields { {
    { "x", &CameraPose::x },
    { "y", &CameraPose::y },
    { "zoom", &CameraPose::zoom },
    { "bearing", &CameraPose::bearing },
    { "pitch", &CameraPose::pitch },
    { "focal", &CameraPose::focal },
    { "width", &CameraPose::width },
    { "height", &CameraPose::height },
} };
constexpr unsigned kEveryPoseField = (1u << kPoseFields.size()) - 1;

int poseField(const std::string& key)
{
    for (std::size_t i = 0; i < kPoseFields.size(); ++i) {
        if (key == kPoseFields[i].first)
            return int(i);
    }
    return -1;
}

Json poseJson(const CameraPose& pose)
{
    Json object = Json::object();
    for (const auto& [key, field] : kPoseFields)
        object[key] = pose.*field;
    return object;
}

bool validFrameRate(double frameRate)
{
    return std::isfinite(frameRate) && frameRate > 0;
}

// What a meta.json holds, gathered by the streaming parser.
struct Fields {
    std::optional<std::string> id;
    std::optional<double> date;
    std::optional<std::string> name;
    std::optional<std::string> basemap;
    std::optional<double> frameRate;
    std::optional<CameraPose> pose;
    std::optional<std::vector<CameraPose>> poses;
};

// Fills `Fields` from the parser's events: the top-level keys, the "pose" object and the
// objects of the "poses" array, whose eight numbers are all required. A known key holding a
// value of another type stops the parse; unknown keys and all they hold are passed over.
class FieldsReader final : public nlohmann::json_sax<Json> {
public:
    Fields fields;

    bool null() override { return passesOver(); }
    bool boolean(bool) override { return passesOver(); }
    bool number_integer(number_integer_t value) override { return number(double(value)); }
    bool number_unsigned(number_unsigned_t value) override { return number(double(value)); }
    bool number_float(number_float_t value, const string_t&) override { return number(value); }
    bool binary(binary_t&) override { return passesOver(); }

    bool string(string_t& value) override
    {
        if (depth_ == 1) {
            std::optional<std::string>* target = topKey_ == "id" ? &fields.id
                : topKey_ == "name"                               ? &fields.name
                : topKey_ == "basemap"                            ? &fields.basemap
                                                                  : nullptr;
            if (target) {
                *target = std::move(value);
                return true;
            }
        }
        return passesOver();
    }

    bool start_object(std::size_t) override
    {
        if (depth_ == 1 && knownTopKey() && topKey_ != "pose")
            return false;
        ++depth_;
        if (depth_ == 2 && topKey_ == "pose")
            beginPose(fields.pose.emplace());
        else if (depth_ == 3 && inPoses_)
            beginPose(fields.poses->emplace_back());
        else if (pose_ && depth_ == poseDepth_ + 1 && poseField(poseKey_) >= 0)
            return false;
        return true;
    }

    bool end_object() override
    {
        if (pose_ && depth_ == poseDepth_) {
            if (seen_ != kEveryPoseField)
                return false;
            pose_ = nullptr;
        }
        --depth_;
        return true;
    }

    bool start_array(std::size_t size) override
    {
        if (depth_ == 0 || (depth_ == 1 && knownTopKey() && topKey_ != "poses") || inPoseArray())
            return false;
        if (pose_ && depth_ == poseDepth_ && poseField(poseKey_) >= 0)
            return false;
        ++depth_;
        if (depth_ == 2 && topKey_ == "poses") {
            inPoses_ = true;
            fields.poses.emplace();
            if (size != std::size_t(-1))
                fields.poses->reserve(size);
        }
        return true;
    }

    bool end_array() override
    {
        if (depth_ == 2 && inPoses_)
            inPoses_ = false;
        --depth_;
        return true;
    }

    bool key(string_t& value) override
    {
        if (depth_ == 1)
            topKey_ = std::move(value);
        else if (pose_ && depth_ == poseDepth_)
            poseKey_ = std::move(value);
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    bool knownTopKey() const
    {
        for (const char* key : { "id", "date", "name", "basemap", "frameRate", "pose", "poses" }) {
            if (topKey_ == key)
                return true;
        }
        return false;
    }

    // Directly inside the "poses" array, where only pose objects belong.
    bool inPoseArray() const { return inPoses_ && depth_ == 2; }

    void beginPose(CameraPose& pose)
    {
        pose_ = &pose;
        poseDepth_ = depth_;
        seen_ = 0;
        poseKey_.clear();
    }

    bool number(double value)
    {
        if (pose_ && depth_ == poseDepth_) {
            const int field = poseField(poseKey_);
            if (field >= 0) {
                pose_->*kPoseFields[std::size_t(field)].second = value;
                seen_ |= 1u << field;
            }
            return true;
        }
        if (depth_ == 1 && topKey_ == "date") {
            fields.date = value;
            return true;
        }
        if (depth_ == 1 && topKey_ == "frameRate") {
            fields.frameRate = value;
            return true;
        }
        return passesOver();
    }

    // A value that no field takes: fine under an unknown key, wrong under a known one.
    bool passesOver() const
    {
        if (depth_ == 0 || inPoseArray())
            return false;
        if (depth_ == 1)
            return !knownTopKey();
        if (pose_ && depth_ == poseDepth_)
            return poseField(poseKey_) < 0;
        return true;
    }

    int depth_ = 0;
    std::string topKey_;
    bool inPoses_ = false;
    CameraPose* pose_ = nullptr;
    int poseDepth_ = 0;
    std::string poseKey_;
    unsigned seen_ = 0;
};

std::optional<Fields> read(std::string_view text)
{
    FieldsReader reader;
    if (!Json::sax_parse(text.begin(), text.end(), &reader))
        return std::nullopt;
    if (!reader.fields.id || !reader.fields.date || !reader.fields.name || !reader.fields.basemap)
        return std::nullopt;
    return std::move(reader.fields);
}

Json common(const std::string& id, platform::SystemTime date, const std::string& name, const std::string& basemap)
{
    return Json { { "id", id }, { "date", platform::secondsSinceReferenceDate(date) }, { "name", name },
        { "basemap", basemap } };
}

} // namespace

std::optional<std::string> encode(const SavedView& view)
{
    if (!view.pose.isFinite())
        return std::nullopt;
    Json object = common(view.id, view.date, view.name, view.basemap);
    object["pose"] = poseJson(view.pose);
    return platform::jsonText(object);
}

std::optional<std::string> encode(const SavedVideo& video)
{
    if (!validFrameRate(video.frameRate))
        return std::nullopt;
    Json poses = Json::array();
    for (const auto& pose : video.poses) {
        if (!pose.isFinite())
            return std::nullopt;
        poses.push_back(poseJson(pose));
    }
    Json object = common(video.id, video.date, video.name, video.basemap);
    object["frameRate"] = video.frameRate;
    object["poses"] = std::move(poses);
    return platform::jsonText(object);
}

std::optional<SavedView> decodeView(std::string_view text)
{
    auto fields = read(text);
    if (!fields || !fields->pose || !fields->pose->isFinite())
        return std::nullopt;
    const auto date = platform::dateFromReferenceSeconds(*fields->date);
    if (!date)
        return std::nullopt;
    return SavedView { std::move(*fields->id), *date, std::move(*fields->name), std::move(*fields->basemap), *fields->pose };
}

std::optional<SavedVideo> decodeVideo(std::string_view text)
{
    auto fields = read(text);
    if (!fields || !fields->frameRate || !validFrameRate(*fields->frameRate) || !fields->poses)
        return std::nullopt;
    for (const auto& pose : *fields->poses) {
        if (!pose.isFinite())
            return std::nullopt;
    }
    const auto date = platform::dateFromReferenceSeconds(*fields->date);
    if (!date)
        return std::nullopt;
    return SavedVideo { std::move(*fields->id), *date, std::move(*fields->name), std::move(*fields->basemap),
        *fields->frameRate, std::move(*fields->poses) };
}

} // namespace velorin::capture_metadata
