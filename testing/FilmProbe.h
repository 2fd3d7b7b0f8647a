#pragma once

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// What ffprobe reads in a film: each field it shows (format_name, duration, codec_name,
// nb_read_frames, r_frame_rate…) with one value per stream that has it, frames counted by
// decoding. Empty when ffprobe cannot read the file. scripts/install-deps installs ffmpeg.
namespace film_probe {

using Fields = std::map<std::string, std::vector<std::string>>;

inline std::string commandOutput(const std::string& command)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    ::pclose(pipe);
    return output;
}

inline Fields probe(const std::filesystem::path& film)
{
    const std::string output = commandOutput("ffprobe -v error -count_frames -show_entries "
                                             "format=format_name,duration:stream=codec_name,width,height,pix_fmt,"
                                             "r_frame_rate,nb_read_frames,color_space,color_range,color_transfer,"
                                             "color_primaries -of default=noprint_wrappers=1 '"
        + film.string() + "' 2>/dev/null");
    Fields fields;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(start, end - start);
        if (const auto equals = line.find('='); equals != std::string::npos)
            fields[line.substr(0, equals)].push_back(line.substr(equals + 1));
        start = end + 1;
    }
    return fields;
}

// The first field of that name, or "" when there is none.
inline std::string first(const Fields& fields, const std::string& name)
{
    const auto found = fields.find(name);
    return found == fields.end() || found->second.empty() ? std::string() : found->second.front();
}

// The first frame as ffmpeg decodes it, its yuv420p planes unconverted: the luma plane first.
inline std::string firstFrameYuv(const std::filesystem::path& film)
{
    return commandOutput("ffmpeg -v error -i '" + film.string() + "' -frames:v 1 -f rawvideo -pix_fmt yuv420p - 2>/dev/null");
}

} // namespace film_probe
