// zrdemo, step 4: the archive mounted through a root of the extended file
// system. The names are not in the working folder, so the root "Game" serves
// them from Game.arc; the property set and the script are read from there.
#include <set>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/FileIO.h"
#include "Common/Property/ZRProperty.h"
#include "Common/Property/ZRPropertyManager.h"
#include "Common/TextParsing/LexAnalyzer.h"
#include "Zrdemo.h"

namespace
{
constexpr char kMountedSettings[] = "settings.prop";
constexpr char kMountedScript[] = "Scripts\\door.zrs";
constexpr unsigned long kMaxScriptSize = 64ul << 10;
constexpr std::size_t kShownProperties = 5;

struct sKeyword
{
    const char* word;
    int token;
};

// Token numbers of the script's keywords, above the lexer's own.
const sKeyword kKeywords[] = {{"function", 300}, {"if", 301},    {"then", 302},
                              {"else", 303},     {"end", 304},   {"for", 305},
                              {"do", 306},       {"while", 307}, {"return", 308}};

bool IsOperatorPair(int token)
{
    return token >= TOKEN_DOT_DOT && token <= TOKEN_GREATER_EQUAL;
}

std::string LoadSettings()
{
    CFileIO file;
    file.Open(kMountedSettings, FILEMODE_READ);
    CZRPropertyManager settings;
    if (!settings.Read(&file))
        ThrowStep(kStepMount, kMountedSettings, "damaged property set" + CauseSuffix());
    std::string shown;
    CZRString name;
    CZRProperty value;
    long position = 0;
    std::size_t count = 0;
    for (bool more = settings.GetFirstProperty(name, value, position);
         more && count < kShownProperties;
         more = settings.GetNextProperty(name, value, position), ++count)
        shown += std::string(count == 0 ? "" : ", ") + name.GetString() + "=" +
                 value.AsFormattedString().GetString();
    return std::to_string(settings.GetPropertyCount()) + " properties (" + shown + ")";
}

CZRString LoadScriptText()
{
    CFileIO file;
    file.Open(kMountedScript, FILEMODE_READ);
    const unsigned long size = file.GetSize();
    if (size == 0 || size > kMaxScriptSize)
        ThrowStep(kStepMount, kMountedScript,
                  "unexpected size " + std::to_string(size) + " (1 to " +
                      std::to_string(kMaxScriptSize) + " bytes)");
    CZRString text;
    const int length = static_cast<int>(size);
    const bool read = file.Read(text.GetBuffer(length), size);
    text.ReleaseBuffer(read ? length : 0);
    if (!read)
        ThrowStep(kStepMount, kMountedScript, "cannot read the script" + CauseSuffix());
    return text;
}

std::string ReadScript()
{
    CLexAnalyzer lex(LoadScriptText());
    for (const sKeyword& keyword : kKeywords)
        lex.InsertKeyword(keyword.word, keyword.token);
    std::set<int> found;
    int tokens = 0, pairs = 0;
    for (int token = lex.GetNextToken(); token != TOKEN_EOF; token = lex.GetNextToken())
    {
        ++tokens;
        pairs += IsOperatorPair(token) ? 1 : 0;
        found.insert(token);
    }
    std::string words;
    for (const sKeyword& keyword : kKeywords)
        if (found.count(keyword.token) != 0)
            words += std::string(words.empty() ? "" : " ") + keyword.word;
    return std::to_string(tokens) + " tokens, " + std::to_string(pairs) +
           " operator pairs, keywords: " + words;
}
} // namespace

void LoadFromArchive(const sDemoOptions& options)
{
    CExtendedFileSystem::Instance()->AddRoot(kRoot);
    std::string current;
    try
    {
        FILE_SetLastError(FILE_ERROR_NONE);
        current = kMountedSettings;
        const std::string settings = LoadSettings();
        current = kMountedScript;
        const std::string script = ReadScript();
        StepDone(kStepMount,
                 std::string("root \"") + kRoot + "\": " + kMountedSettings + ": " + settings +
                     "; " + kMountedScript + ": " + script,
                 options);
    }
    catch (const CZRException& error)
    {
        ThrowStep(kStepMount, current, Describe(error));
    }
}
