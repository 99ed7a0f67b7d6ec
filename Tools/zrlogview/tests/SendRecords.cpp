// Sends log records to a viewer for zrlogview's end-to-end test, as the
// library's logging sends them: one message per record to \\*\mailslot\SLOT.
//
//   zrlogview_send SLOT [MESSAGE...]
//
// First waits (10 s at most) until \\.\mailslot\SLOT is served, then sends
// each MESSAGE in order (with none, it only waits):
//   C|L|PID|CLASS|TICK|CTX|LOC|NUM|MSG  a record of these nine fields; in a
//            text \xNN is the byte NN and \\ a backslash; a text written
//            "@N:bytes" has the length N whatever bytes follow
//   cut=N:RECORD    the first N bytes of RECORD
//   more=HEX:RECORD RECORD and then the bytes HEX
//   big=N           N bytes, more than a mail slot object can send
// Exit status: 0 sent, 1 failure, 2 usage error.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/MailSlot/ZRMailSlot.h"
#include "Common/Platform/Platform.h"
#include "Common/Time/ZRSyncFunctions.h"

namespace
{
using Bytes = std::vector<unsigned char>;

constexpr unsigned long kWaitStepMs = 10;
constexpr int kWaitSteps = 1000;
constexpr std::size_t kFieldCount = 9;

struct sUsage
{
    std::string problem;
};

void AppendWord(Bytes& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

long long Number(const std::string& text, long long low, long long high)
{
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < low || value > high)
        throw sUsage{"'" + text + "' is no number from " + std::to_string(low) + " to " +
                     std::to_string(high)};
    return value;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    throw sUsage{std::string("'") + c + "' is no hex digit"};
}

Bytes Hex(const std::string& text)
{
    if (text.size() % 2 != 0)
        throw sUsage{"odd number of hex digits in '" + text + "'"};
    Bytes bytes;
    for (std::size_t i = 0; i < text.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1])));
    return bytes;
}

std::string Unescaped(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '\\')
            bytes += text[i];
        else if (i + 1 < text.size() && text[i + 1] == '\\')
            bytes += '\\', ++i;
        else if (i + 3 < text.size() && text[i + 1] == 'x')
            bytes += static_cast<char>(Hex(text.substr(i + 2, 2))[0]), i += 3;
        else
            throw sUsage{"bad escape in '" + text + "'"};
    }
    return bytes;
}

// A text field: its length (or the one "@N:" states) and its bytes.
void AppendText(Bytes& bytes, const std::string& field)
{
    const std::size_t colon = field.find(':');
    const bool stated = !field.empty() && field[0] == '@' && colon != std::string::npos;
    const std::string text = Unescaped(stated ? field.substr(colon + 1) : field);
    const long long length = stated ? Number(field.substr(1, colon - 1), INT32_MIN, INT32_MAX)
                                    : static_cast<long long>(text.size());
    AppendWord(bytes, static_cast<std::uint32_t>(length));
    bytes.insert(bytes.end(), text.begin(), text.end());
}

Bytes Record(const std::string& line)
{
    std::vector<std::string> fields(1);
    for (char c : line)
    {
        if (c == '|')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    if (fields.size() != kFieldCount)
        throw sUsage{"not 9 fields: '" + line + "'"};
    Bytes bytes;
    AppendText(bytes, fields[0]);
    AppendText(bytes, fields[1]);
    AppendWord(bytes, static_cast<std::uint32_t>(Number(fields[2], 0, UINT32_MAX)));
    AppendWord(bytes, static_cast<std::uint32_t>(Number(fields[3], INT32_MIN, INT32_MAX)));
    AppendText(bytes, fields[4]);
    AppendText(bytes, fields[5]);
    AppendText(bytes, fields[6]);
    AppendWord(bytes, static_cast<std::uint32_t>(Number(fields[7], INT32_MIN, INT32_MAX)));
    AppendText(bytes, fields[8]);
    return bytes;
}

// "PREFIX=VALUE:REST" split into VALUE and REST.
bool Split(const std::string& message, const std::string& prefix, std::string& value,
           std::string& rest)
{
    if (message.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::size_t colon = message.find(':', prefix.size());
    if (colon == std::string::npos)
        throw sUsage{"no ':' in '" + message + "'"};
    value = message.substr(prefix.size(), colon - prefix.size());
    rest = message.substr(colon + 1);
    return true;
}

Bytes Message(const std::string& message)
{
    std::string value, rest;
    if (Split(message, "cut=", value, rest))
    {
        Bytes bytes = Record(rest);
        const long long size = Number(value, 0, static_cast<long long>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(size));
        return bytes;
    }
    if (Split(message, "more=", value, rest))
    {
        Bytes bytes = Record(rest);
        const Bytes more = Hex(value);
        bytes.insert(bytes.end(), more.begin(), more.end());
        return bytes;
    }
    return Record(message);
}

// Polls until a client can open the local name, which needs a server.
bool WaitForServer(const std::string& slot)
{
    const std::string local = "\\\\.\\mailslot\\" + slot;
    for (int step = 0; step < kWaitSteps; ++step, SYNC_Sleep(kWaitStepMs))
    {
        try
        {
            CZRMailSlot probe;
            return probe.Open(local.c_str(), false);
        }
        catch (const CMailSlotException&)
        {
        }
    }
    return false;
}

// A message over the object's 400 bytes goes out through the platform layer.
bool SendLarge(const std::string& name, std::uint32_t size)
{
    const ZRPlatform::Handle client = ZRPlatform::MailSlotOpen(name.c_str());
    const Bytes bytes(size, 'x');
    std::uint32_t sent = 0;
    const bool ok = client != ZRPlatform::kNullHandle &&
                    ZRPlatform::MailSlotSend(client, bytes.data(), size, &sent) && sent == size;
    ZRPlatform::ObjectClose(client);
    return ok;
}

int Send(const std::string& slot, const std::vector<std::string>& messages)
{
    if (!WaitForServer(slot))
    {
        std::fprintf(stderr, "zrlogview_send: nobody serves %s\n", slot.c_str());
        return 1;
    }
    const std::string name = "\\\\*\\mailslot\\" + slot;
    CZRMailSlot log;
    log.Open(name.c_str(), false);
    for (const std::string& message : messages)
    {
        if (message.compare(0, 4, "big=") == 0)
        {
            const auto size = static_cast<std::uint32_t>(Number(message.substr(4), 401, 65536));
            if (SendLarge(name, size))
                continue;
            std::fprintf(stderr, "zrlogview_send: could not send %s\n", message.c_str());
            return 1;
        }
        const Bytes bytes = Message(message);
        log.BeginWrite();
        log.Write(bytes.data(), bytes.size());
        log.EndWrite();
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fputs("usage: zrlogview_send SLOT [MESSAGE...]\n", stderr);
        return 2;
    }
    try
    {
        return Send(argv[1], std::vector<std::string>(argv + 2, argv + argc));
    }
    catch (const sUsage& usage)
    {
        std::fprintf(stderr, "zrlogview_send: %s\n", usage.problem.c_str());
        return 2;
    }
    catch (const CZRException& error)
    {
        std::fprintf(stderr, "zrlogview_send: %s (%lu)\n", error.GetErrorString(),
                     static_cast<unsigned long>(error.GetErrorCode()));
        return 1;
    }
}
