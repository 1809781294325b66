// What a source's name tells: type, proposed target, delay.
#include "ui/file_naming.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(FileTypeFromExtension, LastThreeCharactersWithoutRegardToCase) {
    const struct {
        const char* name;
        FileType type;
    } rows[] = {
        {"a.ac3", FileType::Ac3},       {"A.AC3", FileType::Ac3},     {"a.Ac3", FileType::Ac3},
        {"a.mpa", FileType::MpegAudio}, {"a.DTS", FileType::Dts},     {"a.wav", FileType::Wav},
        {"a.mp2", FileType::MpegAudio}, {"filedts", FileType::Dts},   {"", FileType::Ac3},
        {"a.MP3", FileType::MpegAudio}, {"a.mp1", FileType::MpegAudio}, {"a.m2a", FileType::MpegAudio},
        {"ts", FileType::Ac3},          {"MPA", FileType::MpegAudio}, {"/x/y.dts", FileType::Dts},
        {"a.aac", FileType::Aac},       {"a.ADTS", FileType::Aac},    {"fileaac", FileType::Aac},
        {"a.bw64", FileType::Wav},      {"a.x", FileType::Ac3},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FileTypeFromExtension(row.name), row.type) << row.name;
    }
}

TEST(ProposeTargetName, FormatMarkOrFixSuffix) {
    const struct {
        const char* source;
        FileType type;
        const char* target;
    } rows[] = {
        {R"(D:\clips\movie.ac3)", FileType::Ac3, R"(D:\clips\movie_fix.ac3)"},
        {R"(D:\clips\Film AC3 DELAY -40ms.ac3)", FileType::Ac3, R"(D:\clips\Film.ac3)"},
        {R"(D:\clips\movie.AC3)", FileType::Ac3, R"(D:\clips\movie_fix.ac3)"},
        {R"(D:\clips\talk.wav)", FileType::Wav, R"(D:\clips\talk_fix.wav)"},
        {"/m/take.RF64", FileType::Wav, "/m/take_fix.RF64"},
        {R"(C:\x\song.mpa)", FileType::MpegAudio, R"(C:\x\song_fix.mpa)"},
        {R"(C:\x\MOVIE.DTS)", FileType::Dts, R"(C:\x\MOVIE_fix.dts)"},
        // MPEG audio keeps its own ending when the type word is not it.
        {"/m/song.mp3", FileType::MpegAudio, "/m/song_fix.mp3"},
        {"/m/SONG.MP2", FileType::MpegAudio, "/m/SONG_fix.MP2"},
        {"/m/movie.eac3", FileType::Ac3, "/m/movie_fix.eac3"},
        {"/m/movie.EC3", FileType::Ac3, "/m/movie_fix.EC3"},
        {"/m/film.aac", FileType::Aac, "/m/film_fix.aac"},
        {"/m/film.adts", FileType::Aac, "/m/film_fix.adts"},
        {"/m/Film AAC DELAY -20ms.aac", FileType::Aac, "/m/Film.aac"},
        {"/m/Film AC3 DELAY 20ms.eac3", FileType::Ac3, "/m/Film.eac3"},
        // A capitalised type word in a folder name cuts the proposal inside the folder.
        {R"(C:\AC3 work\movie.ac3)", FileType::Ac3, "C:.ac3"},
        {"/films/Film_DTS_DELAY 120ms.dts", FileType::Dts, "/films/Film.dts"},
        // The last mark wins; lower case does not count.
        {"/f/AC3 a AC3 b.ac3", FileType::Ac3, "/f/AC3 a.ac3"},
        {"/f/film ac3 x.ac3", FileType::Ac3, "/f/film ac3 x_fix.ac3"},
        // A mark with fewer than two characters before it would leave no name.
        {"AC3 film.ac3", FileType::Ac3, "AC3 film_fix.ac3"},
        {"xAC3 film.ac3", FileType::Ac3, "xAC3 film_fix.ac3"},
        {"ab AC3.ac3", FileType::Ac3, "ab.ac3"},
        // Names shorter than an extension.
        {"AC3", FileType::Ac3, "_fix.ac3"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ProposeTargetName(row.source, row.type), row.target) << row.source;
    }
}

TEST(DelayFromFileName, TheLastMarkInTheFilesOwnName) {
    const struct {
        const char* name;
        std::optional<std::int32_t> delay;
    } rows[] = {
        {R"(C:\x\Film DELAY -40ms.ac3)", -40},
        {R"(C:\x\Film delay -40ms.ac3)", -40},
        {R"(C:\x\Film DELAY-40ms.ac3)", -40},
        {R"(C:\x\Film DELAY x.ac3)", std::nullopt},
        {R"(C:\x\Film DELAY 120ms.ac3)", 120},
        {R"(C:\x\Film DELAY 12.5ms.ac3)", 12},
        {"T80 3_2ch 448Kbps DELAY -66ms.ac3", -66},
        {"Film_DELAY_957ms_.dts", 957},
        {"Film DELAY -356 ms.mpa", -356},
        {"Film [DELAY 0ms].ac3", 0},
        {"Film delay=+12.6.ac3", 13},
        {"Film DELAY - 40.ac3", std::nullopt},
        {"Film DELAY 7 DELAY -9ms.ac3", -9},
        {"/DELAY 7/Film.ac3", std::nullopt},
        {R"(C:\DELAY 7\Film DELAY 9.ac3)", 9},
        {"Film DELAY", std::nullopt},
        {"Film DELAY ", std::nullopt},
        // Beyond 16 bits the value is still taken whole.
        {"Film DELAY 40000ms.ac3", 40000},
        {"Film DELAY -70000ms.ac3", -70000},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DelayFromFileName(row.name), row.delay) << row.name;
    }
}

}  // namespace
}  // namespace velmora
