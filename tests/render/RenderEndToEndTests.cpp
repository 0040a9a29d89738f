// kova-render run as a user runs it, and through "kova-cli render".
#include "../cli/CliTestSupport.h"

#include <algorithm>
#include <optional>

namespace kova::test {
namespace {

namespace fs = std::filesystem;

const std::string kFlock = ExamplePath("flock.kvz"); // 400 x 300 pixels, 25 FPS

CliResult RunRender(const TempFolder& folder, const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment = {}) {
    return RunProgram(KOVA_RENDER_PATH, folder, arguments, environment);
}

// Width and height from a PNG file's header.
std::pair<int, int> PngSize(const fs::path& path) {
    const std::string bytes = ReadFile(path);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0)
        return {-1, -1};
    const auto number = [&bytes](std::size_t at) {
        int value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value * 256 + static_cast<unsigned char>(bytes[i]);
        return value;
    };
    return {number(16), number(20)};
}

// Codec, width, height and decoded frames of a video's first stream, as
// ffprobe counts them: "h264,300,226,12".
std::string ProbeVideo(const TempFolder& folder, const fs::path& video) {
    const CliResult probe = RunProgram(
        "ffprobe", folder,
        {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
         "stream=codec_name,width,height,nb_read_frames", "-of", "csv=p=0", video.string()});
    std::string line = probe.Out;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return probe.Status == 0 ? line : "ffprobe failed: " + probe.Err;
}

void MakeScript(const fs::path& path, const std::string& text) {
    WriteFile(path, "#!/bin/sh\n" + text);
    fs::permissions(path, fs::perms::owner_all);
}

struct PngCase {
    std::string Name;
    std::vector<std::string> Arguments;
    std::size_t Count;
    std::pair<int, int> Size;
};

TEST(RenderPictures, EveryRecordedFrameIsAPictureOfTheFrameSize) {
    const std::vector<PngCase> cases = {
        // Frames 3, 6 and 9 of ten.
        {"reduced", {"--until", "0:10", "--every", "3", "--scale", "0.5"}, 3, {200, 150}},
        // 400 x 300 into 250 x 250: 250 x 188 between margins.
        {"fitted", {"--until", "0:4", "--size", "250x250", "--time-stamp"}, 4, {250, 250}},
        {"enlarged", {"--until", "0:2", "--scale", "1.5", "--stats-overlay"}, 2, {600, 450}},
        // A second and a frame at 25 FPS, every 13th: frames 13 and 26.
        {"trails", {"--until", "1:1", "--every", "13", "--trails"}, 2, {400, 300}},
    };
    for (const PngCase& test : cases) {
        SCOPED_TRACE(test.Name);
        TempFolder folder;
        std::vector<std::string> arguments = {kFlock, "--png", (folder / "pictures").string()};
        arguments.insert(arguments.end(), test.Arguments.begin(), test.Arguments.end());
        const CliResult result = RunRender(folder, arguments);
        ASSERT_EQ(result.Status, 0) << result.Err;
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < test.Count; ++i)
            expected.push_back("frame-00000" + std::to_string(i) + ".png");
        std::vector<std::string> written;
        for (const auto& entry : fs::directory_iterator(folder / "pictures"))
            written.push_back(entry.path().filename().string());
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, expected);
        for (const std::string& name : written)
            EXPECT_EQ(PngSize(folder / "pictures" / name), test.Size) << name;
    }
}

struct VideoCase {
    std::string Name;
    std::vector<std::string> Arguments;
    std::string Probe;
};

TEST(RenderVideo, TheVideoHasEveryRecordedFrameInH264) {
    const std::vector<VideoCase> cases = {
        // 300 x 225 gets a row of margin for an even height.
        {"scaled", {"--until", "1:0", "--every", "2", "--scale", "0.75"}, "h264,300,226,12"},
        {"fitted",
         {"--until", "0:10", "--size", "320x240", "--time-stamp", "--fps", "12.5"},
         "h264,320,240,10"},
    };
    for (const VideoCase& test : cases) {
        SCOPED_TRACE(test.Name);
        TempFolder folder;
        std::vector<std::string> arguments = {kFlock, "--video", (folder / "run.mp4").string()};
        arguments.insert(arguments.end(), test.Arguments.begin(), test.Arguments.end());
        const CliResult result = RunRender(folder, arguments);
        ASSERT_EQ(result.Status, 0) << result.Err;
        EXPECT_EQ(folder.Files(), std::vector<std::string>{"run.mp4"});
        EXPECT_EQ(ProbeVideo(folder, folder / "run.mp4"), test.Probe);
    }
}

TEST(RenderVideo, KovaCliRenderRunsKovaRender) {
    TempFolder folder;
    const CliResult result = RunCli(folder, {"render", kFlock, "--until", "0:6", "--size", "64x48",
                                             "--video", (folder / "run.mkv").string()});
    ASSERT_EQ(result.Status, 0) << result.Err;
    EXPECT_EQ(ProbeVideo(folder, folder / "run.mkv"), "h264,64,48,6");
}

struct FailureCase {
    std::string Name;
    // The output, relative to the test's folder.
    std::vector<std::string> Output;
    // A script to stand in for ffmpeg, if any; the PATH holds only it.
    std::optional<std::string> Encoder;
    std::string Message;
};

// Whatever goes wrong, the user reads why in one line, the status is 1, and
// no file is left behind: neither the output nor a partial file.
TEST(RenderErrors, AFailureIsOneLineWithStatusOneAndLeavesNoFile) {
    const std::vector<FailureCase> cases = {
        {"video folder missing",
         {"--video", "missing/run.mp4"},
         std::nullopt,
         "kova-render: Cannot write \"<folder>/missing/run.mp4\": No such file or directory"},
        {"picture folder under a file",
         {"--png", "plain.txt/pictures"},
         std::nullopt,
         "kova-render: Cannot create the folder \"<folder>/plain.txt/pictures\": Not a "
         "directory"},
        {"no ffmpeg on the PATH",
         {"--video", "run.mp4"},
         "",
         "kova-render: Cannot make the video: the program \"ffmpeg\" was not found; install "
         "Debian's ffmpeg package"},
        {"ffmpeg fails",
         {"--video", "run.mp4"},
         "/bin/cat >/dev/null\necho 'frame= 10' >&2\necho 'av_interleaved_write_frame(): No "
         "space left on device' >&2\nexit 1\n",
         "kova-render: \"ffmpeg\" could not make the video \"<folder>/run.mp4\": "
         "av_interleaved_write_frame(): No space left on device"},
        // The frames then meet a pipe without a reader.
        {"ffmpeg dies at once",
         {"--video", "run.mp4"},
         "exit 3\n",
         "kova-render: \"ffmpeg\" could not make the video \"<folder>/run.mp4\" (exit status 3)"},
    };
    for (const FailureCase& test : cases) {
        SCOPED_TRACE(test.Name);
        TempFolder folder;
        TempFolder bin;
        WriteFile(folder / "plain.txt", "");
        std::vector<std::string> environment;
        if (test.Encoder) {
            if (!test.Encoder->empty())
                MakeScript(bin / "ffmpeg", *test.Encoder);
            environment.push_back("PATH=" + bin.Path().string());
        }
        std::vector<std::string> arguments = {kFlock,
                                              "--until",
                                              "2:0",
                                              "--size",
                                              "640x480",
                                              test.Output[0],
                                              (folder / test.Output[1]).string()};
        const CliResult result = RunRender(folder, arguments, environment);
        EXPECT_EQ(result.Status, 1);
        std::string expected = test.Message;
        if (const std::size_t at = expected.find("<folder>"); at != std::string::npos)
            expected.replace(at, 8, folder.Path().string());
        EXPECT_EQ(result.Err, expected + "\n");
        EXPECT_EQ(folder.Files(), std::vector<std::string>{"plain.txt"});
    }
}

TEST(RenderErrors, WrongCommandLinesExitWithTwo) {
    TempFolder folder;
    const std::string video = (folder / "run.mp4").string();
    const std::vector<std::vector<std::string>> wrong = {
        {kFlock, "--until", "1:0"},
        {kFlock, "--until", "1:0", "--png", "p", "--video", video},
        {kFlock, "--until", "1:0", "--video", video, "--size", "641x480"},
        {kFlock, "--until", "1:0", "--video", video, "--size", "640x480", "--scale", "2"},
        {kFlock, "--until", "1:0", "--video", video, "--scale", "0"},
        {kFlock, "--until", "1:0", "--video", video, "--size", "640"},
        {kFlock, "--until", "1:0", "--png", "p", "--fps", "25"},
        {kFlock, "--until", "1:0", "--video", video, "--preset", "quick"},
        {kFlock, "--until", "1:0", "--png", "p", "--every", "0"},
    };
    for (const auto& arguments : wrong) {
        std::string shown;
        for (const std::string& a : arguments)
            shown += a + " ";
        SCOPED_TRACE(shown);
        EXPECT_EQ(RunRender(folder, arguments).Status, 2);
    }
    EXPECT_TRUE(folder.Files().empty());
}

} // namespace
} // namespace kova::test
