// The library's binary formats come out byte for byte the same on every
// platform: an archive, a data stream written to a file, a property set in both
// of its forms and a log record are made from fixed inputs and compared with
// the bytes checked in under Tests/Formats/Data. Linux and Windows builds run
// the same comparison, so a width or byte order that differs on either fails.
// With ZR_FORMATS_WRITE=<directory> the test writes what it made there instead.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "Common/Common.h"
#include "Common/Platform/PlatformSeam.h"
#include "Diagnostics/LogTestSupport.h"
#include "Support/ScratchDirectory.h"

namespace
{
namespace fs = std::filesystem;
using Bytes = std::string;

Bytes ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const Bytes& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

Bytes Text32(const std::string& text)
{
    Bytes out;
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((text.size() >> (8 * i)) & 0xFF);
    return out + text;
}

class CrossPlatformBytes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = fs::current_path();
        m_scratch = MakeScratchDirectory("zr-formats-");
        fs::current_path(m_scratch);
    }
    void TearDown() override
    {
        fs::current_path(m_previous);
        fs::remove_all(m_scratch);
    }

    // Compares with the checked-in bytes, or writes them where asked to.
    static void Check(const char* name, const Bytes& made)
    {
        if (const char* out = std::getenv("ZR_FORMATS_WRITE"))
            return WriteFile(fs::path(out) / name, made);
        const Bytes expected = ReadFile(fs::path(ZR_FORMATS_DATA) / name);
        ASSERT_FALSE(expected.empty()) << name << " missing under " << ZR_FORMATS_DATA;
        EXPECT_TRUE(made == expected) << name << ": " << made.size() << " bytes made, " << expected.size()
                                      << " expected";
    }

    static Bytes Written(const char* name, const std::function<bool(CFileIO&)>& write)
    {
        CFileIO file;
        EXPECT_TRUE(file.Open(name, FILEMODE_WRITE) && write(file) && file.Close()) << name;
        return ReadFile(name);
    }

    static CZRPropertyManager Settings()
    {
        CZRPropertyManager settings;
        settings.SetProperty("Volume", CZRProperty(0.75f));
        settings.SetProperty("Lives", CZRProperty(-3));
        settings.SetProperty("Seed", CZRProperty(0x89ABCDEFUL));
        settings.SetProperty("Offset", CZRProperty(-70000L));
        settings.SetProperty("Windowed", CZRProperty(true));
        settings.SetProperty("Player", CZRProperty("Ada"));
        return settings;
    }

    fs::path m_previous, m_scratch;
};

TEST_F(CrossPlatformBytes, ArchiveOfATree)
{
    WriteFile("tree/readme.txt", "hello\r\n");
    WriteFile("tree/empty.bin", "");
    Bytes pattern;
    for (int i = 0; i < 3000; ++i)
        pattern += static_cast<char>((i * 7) & 0xFF);
    WriteFile("tree/Textures/Walls/wall.tga", pattern);
    WriteFile("tree/Sounds/big boom.wav", "boom");
    ASSERT_TRUE(CExtendedFileSystem::Instance()->CreateArchive("Game.arc", "tree"));
    Check("Game.arc", ReadFile("Game.arc"));
}

TEST_F(CrossPlatformBytes, DataStreamFile)
{
    CZRDataStream out(STREAM_STORING);
    out.SerializeBegin(3);
    out << true << 'x' << -2 << -3L << 0x89ABCDEFUL << 1.5f << "abc" << CZRString("text") << CZRFourCC("RIFF");
    out.SerializeEnd();
    Check("stream.bin", Written("stream.bin", [&](CFileIO& file) {
              return file.Write(out.GetBuffer(), out.GetSize());
          }));
}

TEST_F(CrossPlatformBytes, PropertySetInFileAndStreamForms)
{
    CZRPropertyManager settings = Settings();
    Check("settings.bin", Written("settings.bin", [&](CFileIO& file) { return settings.Write(&file); }));
    CZRDataStream stream(STREAM_STORING);
    settings.Serialize(stream);
    Check("settings-stream.bin", Bytes(reinterpret_cast<const char*>(stream.GetBuffer()), stream.GetSize()));
}

// The computer name and process id differ between hosts; they are checked and
// then replaced with fixed values before the comparison.
TEST_F(CrossPlatformBytes, LogRecord)
{
    CZRMailSlot server;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!server.IsOpened())
    {
        try
        {
            server.Open("\\\\.\\mailslot\\debug", true);
        }
        catch (const CMailSlotException&)
        {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the log slot stays served elsewhere";
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ZRPlatform::Seam::ClockFreeze(5000000);
    const bool logged = _ZR_Log_Fn("Loader.cpp", "formats", "Level 3", -7, 99, LOG_TO_MAILSLOT, LOG_CLASS_WARNING,
                                   "%d%% of %s", 50, "assets");
    ZRPlatform::Seam::ClockRelease();
    ASSERT_TRUE(logged);
    ASSERT_TRUE(server.AreMessagesWaiting());
    Bytes record(server.GetMessageSize(), '\0');
    ASSERT_LE(record.size(), CZRMailSlot::MESSAGE_BUFFER_SIZE);
    server.BeginRead();
    server.Read(&record[0], static_cast<unsigned long>(record.size()));
    server.EndRead();

    const Bytes host = Text32(LogTest::ComputerName()), name = Text32("formats");
    ASSERT_EQ(record.substr(0, host.size()), host);
    const std::size_t pidAt = host.size() + name.size();
    ASSERT_GE(record.size(), pidAt + 4);
    Bytes pid;
    for (int i = 0; i < 4; ++i)
        pid += static_cast<char>((static_cast<std::uint32_t>(getpid()) >> (8 * i)) & 0xFF);
    ASSERT_EQ(record.substr(pidAt, 4), pid);
    record.replace(pidAt, 4, "PID!");
    record.replace(0, host.size(), Text32("HOST"));
    Check("log-record.bin", record);
}
} // namespace
