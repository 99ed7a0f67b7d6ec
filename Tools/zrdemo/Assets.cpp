// zrdemo, step 2: the asset tree a game would ship: a property set, a script
// and a binary record file, written through the library's file object.
#include <cstring>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRString.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/FileIO.h"
#include "Common/Property/ZRProperty.h"
#include "Common/Property/ZRPropertyManager.h"
#include "Records.h"
#include "Zrdemo.h"

namespace
{
const char kScript[] = "// door.zrs: opens the harbour gate for a player who carries the key\n"
                       "function OnUse(player)\n"
                       "   if player.keys >= 1 then\n"
                       "      gate.state := \"open\"   /* the level animates it */\n"
                       "      say(\"The gate creaks open...\")\n"
                       "   else\n"
                       "      say('Locked.')\n"
                       "   end\n"
                       "   for i := 1..3 do wave(i) end\n"
                       "   if gate.state <> \"open\" then return end\n"
                       "   while gate.angle <= 90 do gate.angle := gate.angle + 2.5 end\n"
                       "end\n";

std::string SourcePath(const char* name)
{
    return std::string(kSourceDir) + "/" + name;
}

int WriteSettings(const std::string& path)
{
    CZRPropertyManager settings;
    settings.SetProperty("Level", CZRProperty("Harbour"));
    settings.SetProperty("Difficulty", CZRProperty(2));
    settings.SetProperty("Gravity", CZRProperty(9.81f));
    settings.SetProperty("FogEnabled", CZRProperty(true));
    settings.SetProperty("Seed", CZRProperty(0xC0FFEEul));
    CFileIO file;
    file.Open(path.c_str(), FILEMODE_WRITE);
    if (!settings.Write(&file) || !file.Close())
        ThrowStep(kStepAssets, path, "cannot write the property set" + CauseSuffix());
    return settings.GetPropertyCount();
}

void WriteScript(const std::string& path)
{
    CFileIO file;
    file.Open(path.c_str(), FILEMODE_WRITE);
    if (!file.Write(kScript, sizeof kScript - 1) || !file.Close())
        ThrowStep(kStepAssets, path, "cannot write the script" + CauseSuffix());
}

void WriteRecords(const std::string& path)
{
    CFileIO file;
    file.Open(path.c_str(), FILEMODE_WRITE);
    bool written = file.Write(kRecordCount);
    for (int i = 0; i < kRecordCount && written; ++i)
        written = WriteRecord(file, MakeRecord(i));
    if (!written || !file.Close())
        ThrowStep(kStepAssets, path, "cannot write the records" + CauseSuffix());
}

int CountLines(const char* text)
{
    int lines = 0;
    for (const char* p = std::strchr(text, '\n'); p != nullptr; p = std::strchr(p + 1, '\n'))
        ++lines;
    return lines;
}
} // namespace

void WriteAssets(const sDemoOptions& options)
{
    const std::string scripts = std::string(kSourceDir) + "/Scripts";
    FILE_SetLastError(FILE_ERROR_NONE);
    if (!CreateDirectories(scripts))
        ThrowStep(kStepAssets, scripts, "cannot create the folder" + CauseSuffix());
    std::string current;
    try
    {
        current = SourcePath(kSettingsFile);
        const int properties = WriteSettings(current);
        current = SourcePath(kScriptFile);
        WriteScript(current);
        current = SourcePath(kRecordsFile);
        WriteRecords(current);
        StepDone(kStepAssets,
                 std::string(kSourceDir) + ": " + kSettingsFile + " (" +
                     std::to_string(properties) + " properties), " + kScriptFile + " (" +
                     std::to_string(CountLines(kScript)) + " lines), " + kRecordsFile + " (" +
                     std::to_string(kRecordCount) + " records)",
                 options);
    }
    catch (const CZRException& error)
    {
        ThrowStep(kStepAssets, current, Describe(error));
    }
}
